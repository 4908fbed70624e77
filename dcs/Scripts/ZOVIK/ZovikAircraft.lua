-- Which cockpit device is each aircraft's radio. Keys are the aircraft type
-- as LoGetSelfData().Name reports it; the first radio of a list is the one
-- followed unless ZovikConfig.lua's `radios` names another device. The
-- README's table of aircraft is this list, in this order (a test compares).
--
-- Device numbers are the ones the public radio and cockpit export tools read
-- with GetDevice(id):get_frequency(); "SRS" below stands for the module files
-- of the SimpleRadio Standalone exporter (github.com/ciribob/
-- DCS-SimpleRadioStandalone, Scripts/DCS-SRS/Scripts/DCS-SRS-Modules/),
-- "DCS-BIOS" for github.com/DCS-Skunkworks/dcs-bios,
-- Scripts/DCS-BIOS/lib/modules/aircraft_modules/. Flaming Cliffs aircraft
-- (Su-27, F-15C, MiG-29A, A-10A, Su-25T, J-11A, Su-33, Su-25) have no
-- clickable radio device, so they are absent: nothing is sent while flying
-- them. Also absent, for want of a fixed device number: the I-16 (no radio
-- device in either source) and the MB-339A, whose radios' numbers the module
-- hands out at run time (GetDevice(0):get_srs_device_id in SRS MB339A.lua).
local M = {}

-- The AN/ARC-164 tunes 225.000 to 399.975 MHz in 25 kHz steps and nothing
-- else, so its reading is snapped to that grid. No other radio is snapped:
-- several VHF sets also tune 8.33 kHz channels, where a 25 kHz grid would
-- move the user to the wrong channel. The ARC-164 sets of the newer modules
-- (F-4E, CH-47F, OH-58D, C-101EB) are read to the kHz: how their models tune
-- is not documented where a reader can check it.
local ARC164 = 25

local function radio(device, label, spacing)
  return { device = device, label = label, spacing = spacing }
end

local radios, groups = {}, {}
local function aircraft(names, list)
  groups[#groups + 1] = { names = names, radios = list }
  for _, name in ipairs(names) do
    radios[name] = list
  end
end

-- SRS F16C.lua
aircraft({ "F-16C_50" }, {
  radio(36, "COM1 UHF AN/ARC-164", ARC164), radio(38, "COM2 VHF AN/ARC-222") })
-- SRS FA18C.lua
aircraft({ "FA-18C_hornet" }, {
  radio(38, "COMM1 AN/ARC-210"), radio(39, "COMM2 AN/ARC-210") })
-- SRS A10C.lua, A10C2.lua
aircraft({ "A-10C", "A-10C_2" }, {
  radio(54, "UHF AN/ARC-164", ARC164), radio(55, "VHF AM AN/ARC-186 (A-10C_2: AN/ARC-210)"),
  radio(56, "VHF FM AN/ARC-186") })
-- SRS AV8BNA.lua
aircraft({ "AV8BNA" }, { radio(2, "COMM1 AN/ARC-210"), radio(3, "COMM2 AN/ARC-210") })
-- SRS AH64.lua
aircraft({ "AH-64D_BLK_II" }, {
  radio(58, "VHF AN/ARC-186"), radio(57, "UHF AN/ARC-164"), radio(59, "FM1 AN/ARC-201D"),
  radio(60, "FM2 AN/ARC-201D"), radio(61, "HF AN/ARC-220") })
-- SRS KA50.lua
aircraft({ "Ka-50", "Ka-50_3" }, { radio(48, "V/UHF R-800L14"), radio(49, "R-828") })
-- SRS Mi8.lua
aircraft({ "Mi-8MT" }, { radio(38, "R-863"), radio(37, "HF JADRO-1A"), radio(39, "R-828") })
-- SRS Mi24P.lua
aircraft({ "Mi-24P" }, {
  radio(49, "R-863"), radio(51, "R-828"), radio(50, "HF JADRO-1I"), radio(52, "R-852") })
-- SRS UH1H.lua
aircraft({ "UH-1H" }, {
  radio(22, "UHF AN/ARC-51BX"), radio(20, "VHF AN/ARC-134"), radio(23, "FM AN/ARC-131") })
-- SRS F14.lua; the A's early block and its device numbers: DCS-BIOS F-14.lua
aircraft({ "F-14B", "F-14A-135-GR", "F-14A-135-GR-Early" }, {
  radio(3, "UHF AN/ARC-159"), radio(4, "V/UHF AN/ARC-182") })
-- SRS F15ESE.lua
aircraft({ "F-15ESE" }, { radio(7, "UHF 1 AN/ARC-164"), radio(8, "UHF 2 AN/ARC-164") })
-- SRS M2000C.lua
aircraft({ "M-2000C" }, { radio(19, "V/UHF TRT ERA 7000"), radio(20, "UHF TRT ERA 7200") })
-- SRS P51.lua
aircraft({ "P-51D", "P-51D-30-NA", "TF-51D" }, { radio(24, "VHF SCR-522A") })
-- SRS LFMkIX.lua
aircraft({ "SpitfireLFMkIX", "SpitfireLFMkIXCW" }, { radio(15, "VHF A.R.I. 1063") })
-- SRS F5E.lua
aircraft({ "F-5E-3" }, { radio(23, "UHF AN/ARC-164", ARC164) })
-- SRS MiG21.lua
aircraft({ "MiG-21Bis" }, { radio(22, "R-832") })
-- SRS JF17.lua
aircraft({ "JF-17" }, { radio(25, "COMM1 R&S M3AR"), radio(26, "COMM2 R&S M3AR") })
-- SRS L39.lua
aircraft({ "L-39C", "L-39ZA" }, { radio(19, "R-832M") })
-- SRS F86.lua
aircraft({ "F-86F Sabre" }, { radio(26, "UHF AN/ARC-27") })
-- SRS SA342.lua: the UHF set is device 30 in current versions and was 31 in
-- older ones (SRS probes for both); 30 is taken, ZovikConfig.lua can name 31.
-- Its VHF set is read from cockpit knobs, not a device.
aircraft({ "SA342M", "SA342L", "SA342Mistral", "SA342Minigun" }, {
  radio(30, "UHF TRA 6031"), radio(27, "FM TRC 9600") })
-- SRS F4.lua
aircraft({ "F-4E-45MC" }, { radio(3, "UHF AN/ARC-164") })
-- SRS CH47F.lua. The public lists of this module's devices disagree and
-- its own devices.lua is in no public copy we found: DCS-BIOS CH-47F.lua
-- numbers ARC_164 47, ARC_186 48, ARC_201 49, ARC_220 50; Helios (Aircraft
-- CH-47F Plugin/Interfaces/Devices.cs, which adds MFD_KEYS and FPM before
-- them) 49 to 52. Until the module's own list settles it, these are kept.
aircraft({ "CH-47Fbl1" }, {
  radio(50, "UHF AN/ARC-164"), radio(51, "VHF AN/ARC-186"), radio(52, "FM1 AN/ARC-201D"),
  radio(53, "HF AN/ARC-220") })
-- SRS OH58D.lua
aircraft({ "OH58D" }, {
  radio(30, "UHF AN/ARC-164"), radio(31, "VHF AN/ARC-186"), radio(29, "FM1 AN/ARC-201D"),
  radio(32, "FM2 AN/ARC-201D") })
-- SRS F1CE.lua, F1BE.lua; the family's names: DCS-BIOS MirageF1.lua
aircraft({ "Mirage-F1CE", "Mirage-F1EE", "Mirage-F1BE" }, {
  radio(6, "V/UHF TRAP-136"), radio(8, "UHF TRAP-137B") })
-- SRS AJS37.lua
aircraft({ "AJS37" }, { radio(30, "FR 22"), radio(31, "FR 24") })
-- SRS C101CC.lua
aircraft({ "C-101CC" }, { radio(11, "UHF V/TVU-740"), radio(10, "VHF") })
-- SRS C101EB.lua
aircraft({ "C-101EB" }, { radio(11, "UHF AN/ARC-164"), radio(10, "VHF AN/ARC-134") })
-- SRS Yak52.lua
aircraft({ "Yak-52" }, { radio(27, "Baklan 5") })
-- SRS FBMkVI.lua (its R1155 and T1154 are HF sets, outside the band)
aircraft({ "MosquitoFBMkVI" }, { radio(24, "VHF SCR-522A") })
-- SRS Bf109.lua
aircraft({ "Bf-109K-4" }, { radio(14, "FuG 16ZY") })
-- SRS FW190.lua
aircraft({ "FW-190D9", "FW-190A8" }, { radio(15, "FuG 16ZY") })
-- SRS P47.lua
aircraft({ "P-47D-30", "P-47D-30bl1", "P-47D-40" }, { radio(23, "VHF SCR-522") })
-- SRS MiG15.lua
aircraft({ "MiG-15bis" }, { radio(30, "RSI-6K") })
-- SRS MiG19.lua
aircraft({ "MiG-19P" }, { radio(17, "RSIU-4V") })
-- SRS EagleII.lua
aircraft({ "Christen Eagle II" }, { radio(5, "KY-197A") })
-- SRS F4U.lua
aircraft({ "F4U-1D", "F4U-1D_CW" }, { radio(8, "AN/ARC-5") })

-- The radio to follow in aircraft `name`: { device, label, spacing } or nil.
-- overrides: a map from aircraft name to device id (ZovikConfig.lua), or to
-- a list of them by seat; a device of the table keeps its label and
-- spacing, any other has neither.
function M.radioFor(name, overrides)
  if type(name) ~= "string" then
    return nil
  end
  local list = radios[name]
  local wanted = overrides and overrides[name]
  -- A list names a device by seat: ZovikCrew picks from it.
  if type(wanted) ~= "number" then
    return list and list[1]
  end
  for _, entry in ipairs(list or {}) do
    if entry.device == wanted then
      return entry
    end
  end
  return radio(wanted, "the configured radio")
end

-- The table in its order: { names = {...}, radios = {...} } for each group
-- of aircraft that share a cockpit's radios.
function M.groups()
  return groups
end

return M
