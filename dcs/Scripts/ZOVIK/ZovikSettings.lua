-- The pilot's settings (ZovikConfig.lua) checked field by field: a field
-- that is missing or wrong falls back to its default, and each problem comes
-- back as one sentence for the game's log.
local M = {}

local function defaults()
  return { host = "127.0.0.1", port = 10500, resendSeconds = 2, radios = {} }
end
M.defaults = defaults

local function isInteger(value, low, high)
  return type(value) == "number" and value == math.floor(value) and value >= low and value <= high
end

-- A device for each seat, first seat first; false leaves a seat to its
-- transmit selector.
local function isSeatList(value)
  if type(value) ~= "table" or next(value) == nil then return false end
  local count = 0
  for key, device in pairs(value) do
    count = count + 1
    if not (isInteger(key, 1, 16) and (device == false or isInteger(device, 0, 100000))) then
      return false
    end
  end
  return count == #value
end

-- Returns the settings to use and a list of problems (possibly empty).
function M.check(value)
  local settings, problems = defaults(), {}
  if type(value) ~= "table" then
    problems[1] = "ZovikConfig.lua must return a table, it returned a " .. type(value)
      .. ": defaults used"
    return settings, problems
  end
  local function reject(field, what)
    problems[#problems + 1] = "ZovikConfig.lua: " .. field .. " must be " .. what
      .. ", not " .. tostring(value[field]) .. ": default " .. tostring(settings[field]) .. " used"
  end
  for field, given in pairs(value) do
    if field == "host" then
      if type(given) == "string" and given:find(":", 1, true) then
        -- The game's LuaSocket sends from an IPv4 socket only.
        reject(field, "an IPv4 address or a computer's name (the game cannot send to IPv6)")
      elseif type(given) == "string" and given:match("^[%w%._%-]+$") then
        settings.host = given
      else
        reject(field, "an address such as \"127.0.0.1\" or a computer's name")
      end
    elseif field == "port" then
      if isInteger(given, 1, 65535) then
        settings.port = given
      else
        reject(field, "a whole number 1 to 65535")
      end
    elseif field == "resendSeconds" then
      -- Below half a second the repeats cost more than they help; above ten
      -- minutes a client started later waits too long for its first move.
      if type(given) == "number" and given >= 0.5 and given <= 600 then
        settings.resendSeconds = given
      else
        reject(field, "a number of seconds from 0.5 to 600")
      end
    elseif field == "radios" then
      if type(given) ~= "table" then
        reject(field, "a table such as { [\"F-16C_50\"] = 38 }")
      else
        for name, device in pairs(given) do
          if type(name) == "string" and (isInteger(device, 0, 100000) or isSeatList(device)) then
            settings.radios[name] = device
          else
            problems[#problems + 1] = "ZovikConfig.lua: radios entry " .. tostring(name) .. " = "
              .. tostring(device) .. " ignored (an aircraft name and a device number, or a list"
              .. " of device numbers by seat such as { 52, 51 })"
          end
        end
      end
    else
      problems[#problems + 1] = "ZovikConfig.lua: unknown setting " .. tostring(field) .. " ignored"
    end
  end
  return settings, problems
end

-- Reads the file at `path` in an empty environment, so that a setting file
-- cannot touch the export state's globals, and checks what it returns.
function M.load(path)
  local file, err = io.open(path, "rb")
  local text = file and file:read("*a")
  if file then file:close() end
  if not text then
    return defaults(), { "ZovikConfig.lua not read (" .. tostring(err) .. "): defaults used" }
  end
  if text:sub(1, 2) == "\255\254" or text:sub(1, 2) == "\254\255" then
    return defaults(), { "ZovikConfig.lua is saved as UTF-16 (Notepad's \"Unicode\"): save it"
      .. " as UTF-8: defaults used" }
  end
  -- Notepad begins a UTF-8 file with a byte-order mark, which Lua cannot read.
  if text:sub(1, 3) == "\239\187\191" then
    text = text:sub(4)
  end
  local chunk
  chunk, err = loadstring(text, "=ZovikConfig.lua")
  if not chunk then
    return defaults(), { "ZovikConfig.lua not read (" .. tostring(err) .. "): defaults used" }
  end
  setfenv(chunk, {})
  local ok, value = pcall(chunk)
  if not ok then
    return defaults(), { "ZovikConfig.lua failed (" .. tostring(value) .. "): defaults used" }
  end
  return M.check(value)
end

return M
