-- ZOVIK, game side: sends the frequency of the aircraft's radio to the
-- ZOVIK plugin of TeamSpeak 3, which moves the pilot into that frequency's
-- channel. Export.lua loads this file with one line:
--   pcall(function() local zovikLfs=require('lfs'); dofile(zovikLfs.writedir()..[[Scripts\ZOVIK\ZovikExport.lua]]); end, nil)
--
-- Everything that touches the game (callbacks, GetDevice, the socket) is in
-- this file and runs under pcall; the rules live in the modules beside it.

-- Loaded twice in one export state (the line added twice, or two tools
-- loading us), the second load must change nothing: the first one leaves
-- its mark in package.loaded, which every Lua state has and which no
-- callback chain can hide.
local MARK = "ZovikExport"
if package.loaded[MARK] then
  return package.loaded[MARK]
end

local pcall, type, tostring = pcall, type, tostring

local READ_PERIOD = 0.05 -- s of model time: 20 reads a second at most
local LOOKUP_PERIOD = 1 -- s of model time between aircraft look-ups

local function writeLog(level, message)
  local gameLog = rawget(_G, "log")
  if type(gameLog) == "table" and type(gameLog.write) == "function" then
    pcall(gameLog.write, "ZOVIK", gameLog[level] or gameLog.INFO, message)
  else
    print("ZOVIK: " .. message)
  end
end

-- Each kind of error once per export state: a failing device would
-- otherwise write twenty lines a second into dcs.log.
local reported = {}
local function reportOnce(kind, message)
  if not reported[kind] then
    reported[kind] = true
    writeLog("ERROR", message)
  end
end

local function install()
  local lfsModule = rawget(_G, "lfs") or require("lfs")
  local root = lfsModule.writedir()
  if not root:match("[/\\]$") then
    root = root .. "/"
  end
  -- Windows takes "/" as well as "\", so the same paths work under a plain
  -- Lua in the tests.
  local dir = root .. "Scripts/ZOVIK/"
  local Radio = dofile(dir .. "ZovikRadio.lua")
  local Aircraft = dofile(dir .. "ZovikAircraft.lua")
  local Settings = dofile(dir .. "ZovikSettings.lua")

  -- The game's LuaSocket lives in its own folder, relative to the game's
  -- working directory.
  if not package.path:find(".\\LuaSocket\\?.lua", 1, true) then
    package.path = package.path .. ";.\\LuaSocket\\?.lua"
    package.cpath = package.cpath .. ";.\\LuaSocket\\?.dll"
  end

  local previousStart, previousBefore = LuaExportStart, LuaExportBeforeNextFrame
  local previousAfter = LuaExportAfterNextFrame
  local previousStop, previousNextEvent = LuaExportStop, LuaExportActivityNextEvent

  -- State of one mission, reset by start().
  local running = false
  local settings, udp, address
  local getModelTime
  local nextRead, nextLookup, resendAt
  local aircraftName, radio, lastSent

  local function openSocket()
    local socket = require("socket")
    -- Resolved once here: sendto with a host name would ask the resolver,
    -- and wait for it, on every send.
    address = socket.dns.toip(settings.host)
    if not address then
      reportOnce("address", "cannot resolve host " .. settings.host .. " of ZovikConfig.lua")
      return
    end
    local created, err = socket.udp()
    if not created then
      reportOnce("socket", "cannot create a UDP socket: " .. tostring(err))
      return
    end
    -- Never wait in a frame: a full send buffer drops the datagram, and the
    -- next resend makes up for it.
    created:settimeout(0)
    udp = created
  end

  local function start()
    if udp then
      -- Started again without a stop: one socket is enough.
      udp:close()
      udp = nil
    end
    local problems
    settings, problems = Settings.load(dir .. "ZovikConfig.lua")
    for _, problem in ipairs(problems) do
      reportOnce("setting " .. problem, problem)
    end
    getModelTime = LoGetModelTime
    nextRead, nextLookup, resendAt = -math.huge, -math.huge, math.huge
    aircraftName, radio, lastSent = false, nil, nil
    openSocket()
    running = true
  end

  local function stop()
    running = false
    if udp then
      udp:close()
      udp = nil
    end
  end

  local function lookUpAircraft()
    local data = LoGetSelfData()
    local name = type(data) == "table" and type(data.Name) == "string" and data.Name or nil
    if name == aircraftName then
      return
    end
    aircraftName, lastSent = name, nil
    radio = Aircraft.radioFor(name, settings.radios)
    if name == nil then
      writeLog("INFO", "no aircraft: nothing sent")
    elseif radio then
      writeLog("INFO", name .. ": following " .. radio.label .. " (device " .. radio.device .. ")")
    else
      writeLog("INFO", name .. ": no readable radio known: nothing sent")
    end
  end

  -- Hz of the followed radio, or nil when it is off.
  local function readRadio(device)
    local unit = GetDevice(device)
    if unit == nil then
      error("no device " .. device, 0)
    end
    -- Only a radio that says it is off is off: some devices have no is_on,
    -- and asking one that lacks it may raise rather than answer nil.
    local told, on = pcall(function() return unit:is_on() end)
    if told and on == false then
      return nil
    end
    return unit:get_frequency()
  end

  local function send(text)
    local sent, err = udp:sendto(text, address, settings.port)
    if not sent then
      reportOnce("send " .. tostring(err), "cannot send to " .. settings.host .. ":"
        .. settings.port .. ": " .. tostring(err))
    end
  end

  local function step(now)
    nextRead = now + READ_PERIOD
    if now >= nextLookup then
      nextLookup = now + LOOKUP_PERIOD
      local ok, err = pcall(lookUpAircraft)
      if not ok then
        reportOnce("aircraft", "LoGetSelfData failed: " .. tostring(err))
        radio = nil
      end
    end
    if not radio or not udp then
      return
    end
    local ok, hz = pcall(readRadio, radio.device)
    if not ok then
      reportOnce("device " .. tostring(aircraftName) .. radio.device, tostring(aircraftName)
        .. ": reading radio device " .. radio.device .. " failed: " .. tostring(hz))
      hz = nil
    end
    local text = Radio.datagram(hz, radio.spacing)
    if text == nil then
      -- Off, failing or out of band: whatever comes next is news.
      lastSent = nil
    elseif text ~= lastSent or now >= resendAt then
      lastSent, resendAt = text, now + settings.resendSeconds
      send(text)
    end
  end

  -- Between reads a frame costs one call for the model time and one
  -- comparison. Both the frame callback and the activity callback drive the
  -- same clock: the game calls each, but a neighbour that does not chain one
  -- of them would silence us if we relied on that one alone.
  local function poll(now)
    if now >= nextRead then
      step(now)
    end
  end
  local function pollFrame()
    local now = getModelTime()
    if now >= nextRead then
      step(now)
    end
  end

  local function callPrevious(name, callback, ...)
    local ok, result = pcall(callback, ...)
    if not ok then
      reportOnce("previous " .. name, "another export script's " .. name .. " failed: "
        .. tostring(result))
      return nil
    end
    return result
  end

  local function ours(name, work, ...)
    local ok, err = pcall(work, ...)
    if not ok then
      reportOnce(name, name .. " failed: " .. tostring(err))
    end
  end

  LuaExportStart = function()
    if previousStart then callPrevious("LuaExportStart", previousStart) end
    ours("LuaExportStart", start)
  end

  -- Nothing of ours runs before a frame; the wrapper only keeps a
  -- neighbour's error there from reaching the game.
  LuaExportBeforeNextFrame = function()
    if previousBefore then callPrevious("LuaExportBeforeNextFrame", previousBefore) end
  end

  LuaExportAfterNextFrame = function()
    if previousAfter then callPrevious("LuaExportAfterNextFrame", previousAfter) end
    if running then
      local ok, err = pcall(pollFrame)
      if not ok then
        reportOnce("frame", "LuaExportAfterNextFrame failed: " .. tostring(err))
      end
    end
  end

  LuaExportActivityNextEvent = function(t)
    local theirs
    if previousNextEvent then
      theirs = callPrevious("LuaExportActivityNextEvent", previousNextEvent, t)
    end
    if not running then
      return theirs
    end
    ours("LuaExportActivityNextEvent", poll, t)
    -- Returning a time not after t would end these calls for every tool.
    local mine = nextRead > t and nextRead or t + READ_PERIOD
    -- The earlier of the two future times; a neighbour's time not after t
    -- (its calls ended) or not a number does not count.
    if type(theirs) == "number" and theirs > t and theirs < mine then
      return theirs
    end
    return mine
  end

  LuaExportStop = function()
    if previousStop then callPrevious("LuaExportStop", previousStop) end
    ours("LuaExportStop", stop)
  end
end

local ok, err = pcall(install)
if not ok then
  reportOnce("install", "not started: " .. tostring(err))
  return nil
end
package.loaded[MARK] = true
return true
