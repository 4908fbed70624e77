-- Which radio a crew member talks on: the seat he sits in and the transmit
-- selector of that seat, decoded from what the cockpit reports. No game
-- call here: the glue hands over the readings.
--
-- Each crew member runs his own copy of the game and of this script, so
-- the seat is the only thing that tells the pilot's copy from the
-- operator's. The modules publish it as the cockpit parameter SEAT (0 for
-- the first seat, counting up); where it is missing the seat is 0.
--
-- Selector facts come from the modules' own cockpit definitions as the
-- public datamine github.com/Variosss/DCS-Datamine holds them, under
-- Mods/aircraft/<module>/Cockpit/Scripts/: clickabledata.lua gives the
-- argument, the count of positions, the step between them and the hint
-- naming each position; devices.lua gives the radios' device numbers.
local M = {}

-- A selector's reading lies on position * step; a value further than this
-- share of a step from every position is a knob between detents.
local TOLERANCE = 0.25

-- names: each position's, first first; devices: the radio each position
-- transmits on, false where it transmits on none we can follow.
local function selector(arg, step, names, devices)
  return { arg = arg, step = step, names = names, devices = devices }
end

local aircraft = {}

-- Mi-24P clickabledata.lua: SPU8-MODE-PTR (pilot, argument 455) and
-- SPU8-OP-MODE-PTR (operator, 659, crew_member_access 1), 6 positions, 1/5
-- apart, "R-863/NF/JADRO-1A/R-828(Eucalypt)/ARC-15/ARC-U2". devices.lua:
-- R_863 49, JADRO_1I 50, EUCALYPT_M24 (the R-828) 51. NF is not
-- functioning; ARC-15 and ARC-U2 are direction finders, which receive only.
-- The gunner's station has no selector.
local mi24 = { "R-863", "NF", "JADRO-1A", "R-828", "ARC-15", "ARC-U2" }
local mi24Devices = { 49, false, 50, 51, false, false }
aircraft["Mi-24P"] = {
  seats = "SEAT parameter: 0 pilot, 1 operator, 2 gunner",
  [0] = selector(455, 1 / 5, mi24, mi24Devices),
  [1] = selector(659, 1 / 5, mi24, mi24Devices),
}

-- Uh-1H clickabledata.lua: TRANSMIT-INTERPHONE-SWITCH-PTR, argument 30, 6
-- positions 0.1 apart, "PVT - hot line; INT - interphone; 1 - VHF FM
-- transmitter; 2 - UHF transmitter; 3 - VHF AM transmitter; 4 - Not used".
-- devices.lua: VHF_ARC_134 20, UHF_ARC_51 22, VHF_ARC_131 23. The copilot
-- and the door gunners have no selector.
aircraft["UH-1H"] = {
  seats = "SEAT parameter: 0 pilot, 1 copilot, 2-3 door gunners",
  [0] = selector(30, 0.1, { "PVT", "INT", "1 (VHF FM)", "2 (UHF)", "3 (VHF AM)", "4" },
    { false, false, 23, 22, 20, false }),
}

-- What the README says of aircraft `name`: how its seat is known, and the
-- selector of each seat (dashes for an aircraft without selectors).
function M.describe(name)
  local crew = aircraft[name]
  if not crew then return "—", "—" end
  local parts = {}
  for seat = 0, 3 do
    local s = crew[seat]
    if s then
      local positions = {}
      for i, position in ipairs(s.names) do
        positions[i] = s.devices[i] and position .. " (" .. s.devices[i] .. ")" or position
      end
      parts[#parts + 1] = string.format("seat %d: argument %d, %s", seat, s.arg,
        table.concat(positions, "/"))
    end
  end
  return crew.seats, table.concat(parts, "; ")
end

-- The position a selector reading stands for (0 for the first), or nil for
-- a reading that is no position.
function M.position(sel, value)
  if type(value) ~= "number" or value ~= value then return nil end
  local index = math.floor(value / sel.step + 0.5)
  if index < 0 or index >= #sel.names or math.abs(value - index * sel.step) > sel.step * TOLERANCE then
    return nil
  end
  return index
end

-- The seat from what the game answered: the SEAT parameter's value (a
-- number, or its text), or the text of list_cockpit_params(), whose lines
-- read NAME:value, some names holding colons themselves (DCS-BIOS
-- Module.lua, parse_cockpit_params). Anything else is the first seat.
function M.seat(reading)
  local value = reading
  if type(reading) == "string" then
    value = tonumber(reading) or tonumber(reading:match("^SEAT:\"?(%-?[%d%.]+)")
      or reading:match("\nSEAT:\"?(%-?[%d%.]+)") or "")
  end
  if type(value) ~= "number" or value ~= value or value < 0 or value > 16 then
    return 0
  end
  return math.floor(value + 0.5)
end

local Chooser = {}
Chooser.__index = Chooser

-- Chooses, at each read, the radio of the seat the pilot sits in. Aircraft:
-- the module of that name; radios: ZovikConfig.lua's `radios`, where an
-- aircraft's value is a device, or a list of devices by seat (first seat
-- first); say(level, message) writes to the game's log.
function M.chooser(Aircraft, radios, say)
  return setmetatable({ Aircraft = Aircraft, radios = radios or {}, say = say, said = {} }, Chooser)
end

-- A new aircraft (or none): nothing followed in it yet.
function Chooser:board(name)
  self.name, self.seatNow, self.last, self.entries = name, nil, nil, {}
end

function Chooser:entry(device)
  local entry = self.entries[device]
  if not entry then
    entry = self.Aircraft.radioFor(self.name, { [self.name] = device })
    self.entries[device] = entry
  end
  return entry
end


-- The radio to read now in the aircraft boarded, given `default` (what the
-- aircraft's table or a device named for every seat gives). cockpit.seat()
-- answers as the SEAT parameter or list_cockpit_params() does;
-- cockpit.argument(arg) as the main panel's get_argument_value. Either may
-- raise: the seat is then the first, the selector unread.
function Chooser:radio(default, cockpit)
  local name = self.name
  local configured = self.radios[name]
  local crew = aircraft[name]
  if type(configured) == "number" or (crew == nil and type(configured) ~= "table") then
    return default
  end
  local read, reading = pcall(cockpit.seat)
  local seat = M.seat(read and reading or nil)
  if seat ~= self.seatNow then
    -- Another crew member's last radio says nothing of this one's.
    self.seatNow, self.last = seat, nil
  end
  local wanted = type(configured) == "table" and configured[seat + 1]
  if type(wanted) == "number" then
    return self:entry(wanted)
  end
  local sel = crew and crew[seat]
  if sel == nil then
    return default
  end
  local ok, value = pcall(cockpit.argument, sel.arg)
  local position = ok and M.position(sel, value)
  local device = position and sel.devices[position + 1]
  if device then
    local entry = self:entry(device)
    if entry ~= self.last then
      self.last = entry
      self.say("INFO", string.format("%s seat %d: transmit selector on %s: following %s (device %d)",
        name, seat, sel.names[position + 1], entry.label, entry.device))
    end
    return entry
  end
  local keep = self.last or default
  if keep == nil then return nil end
  -- Once a mission for each aircraft, seat and cause; the key is a number,
  -- so a read that keeps the radio builds no string.
  local said = self.said[name] or {}
  self.said[name] = said
  local key = seat * 100 + (position or (ok and 98 or 99))
  if not said[key] then
    said[key] = true
    local what = position and "on " .. sel.names[position + 1] .. ", which transmits on no"
      .. " radio the voice client can follow" or (ok and "between positions ("
      .. tostring(value) .. ")" or "not read (" .. tostring(value) .. ")")
    self.say("INFO", string.format("%s seat %d: transmit selector %s: keeping %s (device %d)",
      name, seat, what, keep.label, keep.device))
  end
  return keep
end

return M
