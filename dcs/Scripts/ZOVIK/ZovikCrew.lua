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
-- Where the datamine holds no copy of a module, the facts come from the
-- cockpit exporters that drive its panels: DCS-BIOS (github.com/
-- DCS-Skunkworks/dcs-bios, Scripts/DCS-BIOS/lib/modules/aircraft_modules/)
-- and Helios (github.com/HeliosVirtualCockpit/Helios).
local M = {}

-- A selector's reading lies on position * step; a value further than this
-- share of a step from every position is a knob between detents.
local TOLERANCE = 0.25

-- names: each position's, first first; devices: the radio each position
-- transmits on, false where it transmits on none we can follow.
local function selector(arg, step, names, devices)
  return { arg = arg, step = step, names = names, devices = devices }
end

-- A seat whose choice shows only on a display: the radio whose entry of
-- indication list `indication` reads "<". The entries' names are kept as
-- byte codes, so a read compares them in place and builds nothing.
local function marker(indication, entries, names, devices)
  local codes = {}
  for i, entry in ipairs(entries) do
    codes[i] = { string.byte(entry, 1, -1) }
  end
  return { indication = indication, codes = codes, names = names, devices = devices }
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

-- CH-47F. The seat: SEAT parameter, 0 pilot, 1 copilot. Each seat's low
-- profile audio panel has its own transmit selector, 11 positions 0.05 apart:
-- pilot argument 613, copilot 646 (DCS-BIOS CH-47F.lua, PLT_/CPLT_LPCAP_
-- TX_SELECTOR; Helios, Aircraft CH-47F Plugin/Interfaces/CH-47FInterface.cs,
-- panel base argument + 22). Positions, first first, as Helios names them:
-- Tx, 1 to 7, RMT, BU, PVT. Position n keys the panel's radio row Rn, which
-- both sources name R1 FM1, R2 UHF, R3 VHF, R4 HF, R5 FM2, R6 spare, R7
-- RWR. The module simulates one ARC-201 (DCS-BIOS devices list ARC_164,
-- ARC_186, ARC_201, ARC_220 and no second FM set), so FM2 keys nothing we
-- can follow. The radios' device numbers are ZovikAircraft.lua's; public
-- lists of the module's devices disagree on them (see there). The troop
-- commander's panel (argument 679) has no known SEAT value.
local ch47 = { "Tx", "1 (FM1)", "2 (UHF)", "3 (VHF)", "4 (HF)", "5 (FM2)", "6", "7 (RWR)",
  "RMT", "BU", "PVT" }
local ch47Devices = { false, 52, 50, 51, 53, false, false, false, false, false, false }
aircraft["CH-47Fbl1"] = {
  seats = "SEAT parameter: 0 pilot, 1 copilot",
  [0] = selector(613, 0.05, ch47, ch47Devices),
  [1] = selector(646, 0.05, ch47, ch47Devices),
}

-- AH-64D. The seat: SEAT parameter, 0 pilot, 1 CPG (github.com/victrox-dev/
-- Apache-DTU, DCS-Apache-DTU.lua, reads the pilot's displays on 0). A seat
-- chooses its radio with the RTS rocker, and the choice shows only on its
-- own EUFD: indication list 18 is the pilot's, 19 the CPG's (DCS-BIOS
-- AH-64D.lua, parse_eufd(18) and (19) feeding PLT_ and CPG_EUFD_LINE). The
-- module's EUFD page script (Displays/EUFD, in a public copy) draws entries Rts_VHF_, Rts_UHF_, Rts_FM1_, Rts_FM2_ and
-- Rts_HF_ from its Rts parameter's first slot, showing "", "=" or "<", and
-- Rts__VHF ... from the second slot with ">"; the EUFD marks this
-- crewstation's radio and the other crewstation's apart (the module's
-- manual, EUFD, Radio Transmit Select Indicator). "<" is this seat's.
-- Devices: VHF 58, UHF 57, FM1 59, FM2 60, HF 61 (ZovikAircraft.lua;
-- DCS-Apache-DTU checks each preset against the same devices).
local ah64 = { "Rts_VHF_", "Rts_UHF_", "Rts_FM1_", "Rts_FM2_", "Rts_HF_" }
local ah64Names = { "VHF", "UHF", "FM1", "FM2", "HF" }
local ah64Devices = { 58, 57, 59, 60, 61 }
aircraft["AH-64D_BLK_II"] = {
  seats = "SEAT parameter: 0 pilot, 1 CPG",
  [0] = marker(18, ah64, ah64Names, ah64Devices),
  [1] = marker(19, ah64, ah64Names, ah64Devices),
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
      if s.indication then
        parts[#parts + 1] = string.format("seat %d: EUFD indication %d, the radio marked <: %s",
          seat, s.indication, table.concat(positions, "/"))
      else
        parts[#parts + 1] = string.format("seat %d: argument %d, %s", seat, s.arg,
          table.concat(positions, "/"))
      end
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

-- Whether the line of `text` that ends at `last` is the name `codes`.
local function lineIs(text, last, codes)
  local first = last - #codes + 1
  if first < 1 or (first > 1 and string.byte(text, first - 1) ~= 10) then return false end
  for k = 1, #codes do
    if string.byte(text, first + k - 1) ~= codes[k] then return false end
  end
  return true
end

-- The position (0 for the first entry) whose entry of the indication text
-- reads "<" and nothing more, or nil: the display off, blank, or marking
-- none. The search goes from "<" to "<", a character the display holds
-- rarely, and looks at the name line above each: a search for the names
-- would stop at every line of a display that holds hundreds.
function M.marked(sel, text)
  if type(text) ~= "string" then return nil end
  local codes, from = sel.codes, 1
  while true do
    local at = string.find(text, "<", from, true)
    if not at then return nil end
    local after = string.byte(text, at + 1)
    if at > 2 and string.byte(text, at - 1) == 10 and (after == nil or after == 10) then
      for i = 1, #codes do
        if lineIs(text, at - 2, codes[i]) then return i - 1 end
      end
    end
    from = at + 1
  end
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
-- cockpit.argument(arg) as the main panel's get_argument_value;
-- cockpit.indication(n) as list_indication(n). Any may raise: the seat is
-- then the first, the selector unread.
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
  local ok, value, position
  if sel.indication then
    ok, value = pcall(cockpit.indication, sel.indication)
    position = ok and M.marked(sel, value)
  else
    ok, value = pcall(cockpit.argument, sel.arg)
    position = ok and M.position(sel, value)
  end
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
      .. " radio the voice client can follow" or (not ok and "not read (" .. tostring(value) .. ")"
      or sel.indication and "not shown (no radio marked < on the display)"
      or "between positions (" .. tostring(value) .. ")")
    self.say("INFO", string.format("%s seat %d: transmit selector %s: keeping %s (device %d)",
      name, seat, what, keep.label, keep.device))
  end
  return keep
end

return M
