-- Which cockpit device is each aircraft's radio. Keys are the aircraft type
-- as LoGetSelfData().Name reports it; the first radio of a list is the one
-- followed unless ZovikConfig.lua's `radios` names another device.
--
-- Device numbers are the ones the public radio and cockpit export tools read
-- with GetDevice(id):get_frequency(). Flaming Cliffs aircraft (Su-27, F-15C,
-- MiG-29A, A-10A, Su-25T, J-11A, Su-33, Su-25) have no clickable radio
-- device, so they are absent: nothing is sent while flying them.
local M = {}

-- The AN/ARC-164 tunes 225.000 to 399.975 MHz in 25 kHz steps and nothing
-- else, so its reading is snapped to that grid. No other radio is snapped:
-- several VHF sets also tune 8.33 kHz channels, where a 25 kHz grid would
-- move the user to the wrong channel.
local ARC164 = 25

local function radio(device, label, spacing)
  return { device = device, label = label, spacing = spacing }
end

local radios = {}
local function aircraft(names, list)
  for _, name in ipairs(names) do
    radios[name] = list
  end
end

aircraft({ "F-16C_50" }, {
  radio(36, "COM1 UHF AN/ARC-164", ARC164), radio(38, "COM2 VHF AN/ARC-222") })
aircraft({ "FA-18C_hornet" }, {
  radio(38, "COMM1 AN/ARC-210"), radio(39, "COMM2 AN/ARC-210") })
aircraft({ "A-10C", "A-10C_2" }, {
  radio(54, "UHF AN/ARC-164", ARC164), radio(55, "VHF AM AN/ARC-186"), radio(56, "VHF FM AN/ARC-186") })
aircraft({ "AV8BNA" }, { radio(2, "COMM1"), radio(3, "COMM2") })
aircraft({ "AH-64D_BLK_II" }, {
  radio(58, "radio 1"), radio(57, "radio 2"), radio(59, "radio 3"), radio(60, "radio 4"), radio(61, "radio 5") })
aircraft({ "Ka-50", "Ka-50_3" }, { radio(48, "R-800L1"), radio(49, "radio 2") })
aircraft({ "Mi-8MT" }, { radio(38, "R-863"), radio(37, "radio 2"), radio(39, "radio 3") })
aircraft({ "Mi-24P" }, {
  radio(49, "R-863"), radio(50, "radio 2"), radio(51, "radio 3"), radio(52, "radio 4") })
aircraft({ "UH-1H" }, { radio(22, "UHF"), radio(20, "radio 2"), radio(23, "radio 3") })
aircraft({ "F-14B", "F-14A-135-GR" }, { radio(3, "UHF"), radio(4, "radio 2") })
aircraft({ "F-15ESE" }, { radio(7, "UHF 1"), radio(8, "UHF 2") })
aircraft({ "M-2000C" }, { radio(19, "radio 1"), radio(20, "radio 2") })
aircraft({ "P-51D", "P-51D-30-NA", "TF-51D" }, { radio(24, "VHF") })
aircraft({ "SpitfireLFMkIX", "SpitfireLFMkIXCW" }, { radio(15, "VHF") })
-- Aircraft beyond the first list, from the same kind of public sources.
aircraft({ "F-5E-3" }, { radio(23, "UHF AN/ARC-164", ARC164) })
aircraft({ "MiG-21Bis" }, { radio(22, "R-832") })
aircraft({ "JF-17" }, { radio(25, "COMM1"), radio(26, "COMM2") })
aircraft({ "L-39C", "L-39ZA" }, { radio(19, "R-832M") })
aircraft({ "F-86F Sabre" }, { radio(26, "UHF AN/ARC-27") })
-- The Gazelle's UHF set is device 30 in current versions and was 31 in older
-- ones (the public tools probe for both); 30 is taken, ZovikConfig.lua can
-- name 31. Its VHF set is read from cockpit knobs, not a device.
aircraft({ "SA342M", "SA342L", "SA342Mistral", "SA342Minigun" }, {
  radio(30, "UHF TRA 6031"), radio(27, "FM TRC 9600") })

-- The radio to follow in aircraft `name`: { device, label, spacing } or nil.
-- overrides: a map from aircraft name to device id (ZovikConfig.lua); a
-- device of the table keeps its label and spacing, any other has neither.
function M.radioFor(name, overrides)
  if type(name) ~= "string" then
    return nil
  end
  local list = radios[name]
  local wanted = overrides and overrides[name]
  if wanted == nil then
    return list and list[1]
  end
  for _, entry in ipairs(list or {}) do
    if entry.device == wanted then
      return entry
    end
  end
  return radio(wanted, "the configured radio")
end

return M
