-- ZOVIK, game side: sends the frequency of the aircraft's radio to the ZOVIK
-- plugin of TeamSpeak 3. Export.lua loads this file (the README gives the
-- line). Only this file touches the game (callbacks, LoGetSelfData, GetDevice,
-- the log) and the socket; what to send and when is ZovikFollower.lua's rule.

-- Loaded twice in one export state (Export.lua run again, the line added
-- twice, or two tools loading us), the second load puts our callbacks back
-- on top where something replaced them and adds nothing else: the first
-- leaves its mark in package.loaded, which no callback chain can hide.
local MARK = "ZovikExport"
local loaded = package.loaded[MARK]
if type(loaded) == "table" and loaded.adopt then
  pcall(loaded.adopt)
  return loaded
end

-- level: "INFO" or "ERROR", the names of the game's log levels.
local function writeLog(level, message)
  local gameLog = rawget(_G, "log")
  local ok = type(gameLog) == "table" and pcall(gameLog.write, "ZOVIK", gameLog[level], message)
  if not ok then print("ZOVIK: " .. message) end
end

-- Calls work(...) under pcall and returns its result. A failure reaches dcs.log
-- once per name: a broken neighbour or socket would otherwise log every frame.
local failed = {}
local function guard(name, work, ...)
  local ok, result = pcall(work, ...)
  if ok then return result end
  if not failed[name] then
    failed[name] = true
    writeLog("ERROR", name .. " failed: " .. tostring(result))
  end
end

local function install()
  -- Windows takes "/" too, so the same paths serve a plain Lua in the tests.
  local dir = require("lfs").writedir():gsub("[/\\]?$", "/Scripts/ZOVIK/", 1)
  local Radio, Aircraft = dofile(dir .. "ZovikRadio.lua"), dofile(dir .. "ZovikAircraft.lua")
  local Settings, Address = dofile(dir .. "ZovikSettings.lua"), dofile(dir .. "ZovikAddress.lua")
  local Follower, Crew = dofile(dir .. "ZovikFollower.lua"), dofile(dir .. "ZovikCrew.lua")

  -- The game's LuaSocket lives in its own folder, under its working directory.
  if not package.path:find(".\\LuaSocket\\?.lua", 1, true) then
    package.path = package.path .. ";.\\LuaSocket\\?.lua"
    package.cpath = package.cpath .. ";.\\LuaSocket\\?.dll"
  end

  local cockpit = {}
  -- The mission's, made by start(); sendLabel: "sending to HOST:PORT".
  local settings, follower, address, udp, modelTime, sendLabel

  local function isOn(device) return device:is_on() end
  function cockpit.frequency(id)
    local device = GetDevice(id)
    if device == nil then error("no device " .. id, 0) end
    -- Only a radio that says it is off is off: some devices have no is_on,
    -- and asking one that lacks it may raise rather than answer nil.
    local told, on = pcall(isOn, device)
    if told and on == false then return nil end
    return device:get_frequency()
  end

  -- The seat: the SEAT cockpit parameter where the game offers a handle on
  -- it, else the text of all parameters, which ZovikCrew reads.
  function cockpit.seat()
    local handleOf = rawget(_G, "get_param_handle")
    if handleOf then
      local handle = handleOf("SEAT")
      if handle then return handle:get() end
    end
    local list = rawget(_G, "list_cockpit_params")
    return list and list()
  end
  function cockpit.argument(arg)
    return GetDevice(0):get_argument_value(arg)
  end
  function cockpit.indication(n)
    return list_indication(n)
  end

  local function send(text)
    assert(udp:sendto(text, address:get(), settings.port))
    follower:sent(text)
  end

  -- Between reads a frame costs one call for the model time and one or two
  -- comparisons. Model time before the last read is a mission restarted
  -- without a stop: its schedule starts again rather than wait for the old one.
  local function poll()
    local now = follower and modelTime()
    if not now then return end
    if now >= follower.nextRead then
      local text = follower:read(now, cockpit)
      if text then guard(sendLabel, send, text) end
    elseif now < follower.readAt then
      follower:restart()
    end
  end

  local function stop()
    if udp then udp:close() end
    follower, udp = nil, nil
  end

  -- The game's stop. A mission without a single read had our frame callback
  -- taken by a script that ran after ours: only the log can tell.
  local function finish()
    if follower and follower.readAt == -math.huge then
      writeLog("ERROR", "no radio read in this mission: another export script replaced"
        .. " ZOVIK's frame callback; move the ZOVIK line to the end of Export.lua")
    end
    stop()
  end

  local function start()
    stop() -- started again without a stop: one socket is enough
    local problems
    settings, problems = Settings.load(dir .. "ZovikConfig.lua")
    for _, problem in ipairs(problems) do writeLog("ERROR", problem) end
    sendLabel = "sending to " .. settings.host .. ":" .. settings.port
    modelTime, cockpit.selfData = LoGetModelTime, LoGetSelfData
    local socket = require("socket")
    -- Never wait in a frame: a datagram a full buffer drops is sent again at
    -- the next read, and a name is looked up here only.
    udp = assert(socket.udp())
    udp:settimeout(0)
    address = Address.new(settings.host, socket.dns.toip, writeLog)
    address:get() -- a slow look-up falls in the mission's loading
    follower = Follower.new(settings, Aircraft, Radio, writeLog, Crew)
  end

  -- Our hooks, each calling the callback it replaced first, as the game would
  -- have. A neighbour's Start may install callbacks of its own (a frame
  -- callback, say): once it returns, ours go back on top. Only then, once a
  -- mission: a neighbour that keeps itself on top at every frame would
  -- otherwise wrap us and be wrapped in turn, the chain growing each frame.
  -- A chain that holds two of ours (a second load above a tool that chained
  -- the first) does our work once: in the outermost.
  local ours = setmetatable({}, { __mode = "k" })
  local work = { LuaExportStart = start, LuaExportAfterNextFrame = poll, LuaExportStop = finish }
  local names = { "LuaExportStart", "LuaExportBeforeNextFrame", "LuaExportAfterNextFrame",
    "LuaExportActivityNextEvent", "LuaExportStop" }
  local inside = false
  local adopt
  local function hook(name, theirs)
    local label, mine = "another export script's " .. name, work[name]
    local function ourHook(...)
      if inside then return theirs and guard(label, theirs, ...) end
      inside = true
      local result
      if theirs then result = guard(label, theirs, ...) end
      inside = false
      if theirs and name == "LuaExportStart" then guard("keeping ZOVIK's callbacks", adopt) end
      if mine then guard(name, mine) end
      return result
    end
    ours[ourHook] = true
    return ourHook
  end
  -- Our reads ride on the frame callback, which the game calls every frame. A
  -- neighbour's other two keep their calls as the game would make them
  -- without us (its activity's time is the one we return); errors stay here.
  function adopt()
    for _, name in ipairs(names) do
      local current = rawget(_G, name)
      if not ours[current] and (current or work[name]) then
        _G[name] = hook(name, current)
      end
    end
  end
  adopt()
  return { adopt = adopt }
end

package.loaded[MARK] = guard("starting ZOVIK", install)
return package.loaded[MARK]
