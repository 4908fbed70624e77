-- The game side's rule, without the game and without the socket: at each
-- radio read, the aircraft the pilot sits in and the reading of its radio
-- become the datagram to send, or nothing; when nothing is sent the log
-- says why, once for each cause in a mission. Leaving the aircraft after a
-- frequency went out sends LEFT.
local M = {}

-- s of model time between reads: 20 a second at most, so a turn of the knob
-- or a change of seat is sent within 0.05 s and a frame.
M.READ_PERIOD = 0.05
-- The datagram that says the pilot left his aircraft.
M.LEFT = "0"
-- Taken off each deadline: three frames of 1/60 s add up to a hair under
-- 0.05 s in floating point, more so as model time grows, and without it every
-- fourth frame would read instead of every third, and resends would slip.
local SLACK = 1e-6

local Follower = {}
Follower.__index = Follower

-- settings: as ZovikSettings returns them; Aircraft, Radio: the modules of
-- the same names; say(level, message) writes a line to the game's log
-- (level "INFO" or "ERROR"); Crew (optional): ZovikCrew, for aircraft whose
-- seats choose their radio.
function M.new(settings, Aircraft, Radio, say, Crew)
  return setmetatable({
    chooser = Crew and Crew.chooser(Aircraft, settings.radios, say),
    settings = settings, Aircraft = Aircraft, Radio = Radio, say = say,
    nextRead = -math.huge, -- model time from which the next read is due
    readAt = -math.huge, -- model time of the last read
    aircraft = false, -- type at the last answer (nil: no aircraft; false: none yet)
    radio = nil, -- what Aircraft.radioFor gave for it
    lastSent = nil, resendAt = math.huge,
    flown = false, -- a frequency went out in this mission
    said = {}, -- causes already in the log
  }, Follower)
end

local function named(aircraft, radio)
  return aircraft .. " " .. radio.label .. " (device " .. radio.device .. ")"
end

local function megahertz(hz)
  if type(hz) == "number" and hz == hz and hz > -math.huge and hz < math.huge then
    return string.format("%.3f MHz", hz / 1e6)
  end
  return tostring(hz)
end

-- Once for each cause in a mission, the line string.format(format, ...):
-- the sentence is made only when it is written.
function Follower:tell(cause, level, format, ...)
  if not self.said[cause] then
    self.said[cause] = true
    self.say(level, string.format(format, ...))
  end
end

-- Nothing is sent at this read. The next reading that can be sent goes out
-- at once, even if it repeats the last datagram: the plugin ignores a
-- repeat, and a voice client started meanwhile needs it.
function Follower:nothing(cause, level, format, ...)
  self.lastSent = nil
  if not self.said[cause] then self:tell(cause, level, format .. ": nothing sent", ...) end
end

-- `text` is due when it differs from the last datagram sent or the resend
-- time has come; it counts as sent only once the export reports it (sent).
function Follower:due(text, now)
  if text ~= self.lastSent or now >= self.resendAt then
    return text
  end
end

-- The datagram this read gave went out.
function Follower:sent(text)
  self.lastSent, self.resendAt = text, self.readAt + self.settings.resendSeconds - SLACK
  if text ~= M.LEFT then self.flown = true end
end

-- Model time went back (the mission restarted without a stop): a new
-- mission, whose schedule and log start afresh.
function Follower:restart()
  self.nextRead, self.readAt, self.lastSent, self.resendAt = -math.huge, -math.huge, nil, math.huge
  self.flown, self.said, self.aircraft = false, {}, false
  if self.chooser then self.chooser.said = {} end
end

function Follower:board(aircraft)
  self.aircraft, self.lastSent = aircraft, nil
  self.radio = self.Aircraft.radioFor(aircraft, self.settings.radios)
  if self.chooser then self.chooser:board(aircraft) end
  if self.radio then
    self.say("INFO", aircraft .. ": following " .. self.radio.label .. " (device "
      .. self.radio.device .. ")")
  end
end

-- One read at model time `now`. cockpit.selfData() answers as LoGetSelfData;
-- cockpit.frequency(device) gives that device's hertz, or nil while the radio
-- is off. Either may raise: a passing fault, the next good answer resumes.
-- Returns the datagram's text, or nil; the export reports it with sent()
-- once the socket took it.
function Follower:read(now, cockpit)
  self.readAt, self.nextRead = now, now + M.READ_PERIOD - SLACK
  -- The aircraft is asked first, every time: device numbers mean other
  -- devices in other aircraft, so the last aircraft's radio is never read
  -- in a new one, nor in an aircraft the game could not name.
  local answered, data = pcall(cockpit.selfData)
  if not answered then
    return self:nothing("LoGetSelfData", "ERROR", "LoGetSelfData failed (%s)", tostring(data))
  end
  local aircraft = type(data) == "table" and type(data.Name) == "string" and data.Name or nil
  if aircraft ~= self.aircraft then
    self:board(aircraft)
  end
  local radio = self.radio
  if aircraft ~= nil and self.chooser then
    radio = self.chooser:radio(radio, cockpit)
  end
  if aircraft == nil then
    return self:left(now)
  elseif radio == nil then
    return self:nothing("no radio " .. aircraft, "INFO", "%s: no radio known for this type; to"
      .. " follow one, add a line [\"%s\"] = DEVICE, under radios in"
      .. " Scripts\\ZOVIK\\ZovikConfig.lua", aircraft, aircraft)
  end
  local read, hz = pcall(cockpit.frequency, radio.device)
  if not read then
    local name = named(aircraft, radio)
    return self:nothing("failed " .. name, "ERROR", "reading %s failed (%s)", name, tostring(hz))
  elseif hz == nil then
    local name = named(aircraft, radio)
    return self:nothing("off " .. name, "INFO", "%s is off", name)
  end
  local text = self.Radio.datagram(hz, radio.spacing)
  if text == nil then
    local name = named(aircraft, radio)
    return self:nothing("band " .. name, "INFO", "%s reads %s, outside %.3f to %.3f MHz", name,
      megahertz(hz), self.Radio.LOWEST_KHZ / 1000, self.Radio.HIGHEST_KHZ / 1000)
  end
  return self:due(text, now)
end

-- The pilot has no aircraft (menu, spectator, dead). Once a frequency went
-- out in this mission, LEFT tells the plugin, on the change and at each
-- resend while it lasts; the plugin may take him back to his own channel.
function Follower:left(now)
  if not self.flown then
    return self:nothing("no aircraft", "INFO",
      "no aircraft (menu, spectator, or the pilot is dead)")
  end
  self:tell("left", "INFO", "no aircraft (menu, spectator, or the pilot is dead): told the"
    .. " voice client (datagram %s)", M.LEFT)
  return self:due(M.LEFT, now)
end

return M
