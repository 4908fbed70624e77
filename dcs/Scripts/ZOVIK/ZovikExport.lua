-- ZOVIK, game side: sends the frequency of the aircraft's radio to the ZOVIK
-- plugin of TeamSpeak 3. Export.lua loads this file (the README gives the
-- line). Only this file touches the game (callbacks, LoGetSelfData, GetDevice,
-- the log) and the socket; what to send and when is ZovikFollower.lua's rule.

-- Loaded twice in one export state (the line added twice, or two tools
-- loading us), the second load changes nothing: the first leaves its mark in
-- package.loaded, which no callback chain can hide.
local MARK = "ZovikExport"
if package.loaded[MARK] then
  return package.loaded[MARK]
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

  -- The callbacks other tools installed before us, called as the game calls them.
  local previous = {}
  for _, name in ipairs({ "LuaExportStart", "LuaExportBeforeNextFrame", "LuaExportAfterNextFrame",
    "LuaExportActivityNextEvent", "LuaExportStop" }) do
    local theirs = rawget(_G, name)
    previous[name] = function(...)
      if theirs then return guard("another export script's " .. name, theirs, ...) end
    end
  end
  local cockpit = {}
  local settings, follower, address, udp, modelTime -- the mission's, made by start()

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
    local to = address:get(modelTime())
    if to then assert(udp:sendto(text, to, settings.port)) end
  end

  -- Between reads a frame costs one call for the model time and one comparison.
  local function poll()
    local now = follower and modelTime()
    if now and now >= follower.nextRead then
      local text = follower:read(now, cockpit)
      if text then guard("sending to " .. settings.host .. ":" .. settings.port, send, text) end
    end
  end

  local function stop()
    if udp then udp:close() end
    follower, udp = nil, nil
  end

  local function start()
    stop() -- started again without a stop: one socket is enough
    local problems
    settings, problems = Settings.load(dir .. "ZovikConfig.lua")
    for _, problem in ipairs(problems) do writeLog("ERROR", problem) end
    modelTime, cockpit.selfData = LoGetModelTime, LoGetSelfData
    local socket = require("socket")
    -- Never wait in a frame: a datagram a full buffer drops is resent later.
    udp = assert(socket.udp())
    udp:settimeout(0)
    address = Address.new(settings.host, socket.dns.toip, writeLog)
    address:get(modelTime()) -- a slow look-up falls in the mission's loading
    follower = Follower.new(settings, Aircraft, Radio, writeLog, Crew)
  end

  for name, work in pairs({ LuaExportStart = start, LuaExportAfterNextFrame = poll,
    LuaExportStop = stop }) do
    _G[name] = function()
      previous[name]()
      guard(name, work)
    end
  end
  -- Our reads ride on the frame callback, which the game calls every frame. A
  -- neighbour's other two pass through untouched: the game calls them when it
  -- would without us (its activity's time is the one we return); errors stay here.
  for _, name in ipairs({ "LuaExportBeforeNextFrame", "LuaExportActivityNextEvent" }) do
    if rawget(_G, name) then _G[name] = previous[name] end
  end
  return true
end

package.loaded[MARK] = guard("starting ZOVIK", install)
return package.loaded[MARK]
