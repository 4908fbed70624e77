-- Crews in the mock game: each seat follows the radio its transmit selector
-- picks, with the seat read from the SEAT cockpit parameter.
--   lua5.1 crew_test.lua SCRIPTS_DIR
-- The devices expected are written here from the modules' cockpit
-- definitions (github.com/Variosss/DCS-Datamine, Mods/aircraft/<module>/
-- Cockpit/Scripts/clickabledata.lua and devices.lua) and, for the CH-47F
-- and AH-64D, from DCS-BIOS and Helios, not taken from the scripts' own
-- tables.
local scriptsDir = assert(arg[1], "usage: crew_test.lua SCRIPTS_DIR")
package.path = arg[0]:gsub("[^/]+$", "") .. "?.lua;" .. package.path
local Mock = require("mock_game")
local Cases = require("cases")
local eq, case = Cases.eq, Cases.case

local NONE = "none" -- a position that transmits on no radio we can follow
-- Each radio tuned apart, so a datagram names the radio it came from; the
-- JADRO-1A is an HF set, below the band: following it sends nothing.
local AIRCRAFT = {
  { name = "Mi-24P", step = 1 / 5, unread = 52, -- the R-852 only receives
    radios = { [49] = 127000000, [50] = 5000000, [51] = 40000000, [52] = 150000000 },
    seats = {
      -- R-863, NF, JADRO-1A, R-828, ARC-15, ARC-U2
      [0] = { arg = 455, positions = { 49, NONE, 50, 51, NONE, NONE }, baseline = 49 },
      [1] = { arg = 659, positions = { 49, NONE, 50, 51, NONE, NONE }, baseline = 51 },
      [2] = { default = 49 }, -- the gunner
    } },
  { name = "UH-1H", step = 0.1,
    radios = { [20] = 124000000, [22] = 251000000, [23] = 40500000 },
    seats = {
      -- PVT, INT, 1 VHF FM, 2 UHF, 3 VHF AM, 4 not used
      [0] = { arg = 30, positions = { NONE, NONE, 23, 22, 20, NONE }, baseline = 23 },
      [1] = { default = 22 }, [2] = { default = 22 }, [3] = { default = 22 },
    } },
  { name = "CH-47Fbl1", step = 0.05,
    radios = { [50] = 260000000, [51] = 131000000, [52] = 35000000, [53] = 8000000 },
    seats = {
      -- Tx, 1 FM1, 2 UHF, 3 VHF, 4 HF, 5 FM2 (not simulated), 6, 7 RWR, RMT, BU, PVT
      [0] = { arg = 613, positions = { NONE, 52, 50, 51, 53, NONE, NONE, NONE, NONE, NONE, NONE },
        baseline = 52 },
      [1] = { arg = 646, positions = { NONE, 52, 50, 51, 53, NONE, NONE, NONE, NONE, NONE, NONE },
        baseline = 51 },
    } },
  -- The last "position" is an EUFD marking no radio (off, or blank).
  { name = "AH-64D_BLK_II",
    radios = { [57] = 251000000, [58] = 124000000, [59] = 40000000, [60] = 45000000,
      [61] = 5000000 },
    seats = {
      -- VHF, UHF, FM1, FM2, HF
      [0] = { eufd = 18, positions = { 58, 57, 59, 60, 61, NONE }, baseline = 59,
        why = "no radio marked <" },
      [1] = { eufd = 19, positions = { 58, 57, 59, 60, 61, NONE }, baseline = 57,
        why = "no radio marked <" },
    } },
}

-- An EUFD's indication list as list_indication writes it: one entry per
-- element, a line of dashes, the name, the value. This seat's transmit
-- marker "<" on radio `mine` (0 for VHF, nil for none), the other seat's
-- ">" on radio `other`; the static entries around them hold no "<".
local RADIOS = { "VHF", "UHF", "FM1", "FM2", "HF" }
local function eufd(mine, other)
  local lines = {}
  for i, radio in ipairs(RADIOS) do
    local dashes = string.rep("-", 41)
    lines[#lines + 1] = table.concat({ dashes, "Idm_" .. radio, i == 1 and "~" or "",
      dashes, "Rts_" .. radio .. "_", i - 1 == mine and "<" or "=",
      dashes, "Rts__" .. radio, i - 1 == other and ">" or "",
      dashes, "Radio_" .. radio, radio, "" }, "\n")
  end
  return table.concat(lines)
end

local function textOf(hz)
  local khz = hz / 1000
  return khz >= 30001 and string.format("%d", khz) or nil
end

local function indexOf(list, device)
  for i, d in ipairs(list) do
    if d == device then return i - 1 end
  end
end

local function rig(config)
  local dir, remove = Mock.writedir(scriptsDir, "return { port = 9, resendSeconds = 0.5"
    .. (config or "") .. " }")
  local game = Mock.new({ writedir = dir })
  game:load()
  game.close = function()
    game:stop()
    remove()
  end
  return game
end

local function cockpit(craft)
  local devices = {}
  for id, hz in pairs(craft.radios) do devices[id] = { hz = hz } end
  return devices
end

-- The next datagram within `limit` s of model time, or nil.
local function nextSent(game, limit)
  return game:untilSent(game.time, limit) and game.sends[#game.sends].text
end

case("every selector position of every seat", function()
  for _, craft in ipairs(AIRCRAFT) do
    for seat, s in pairs(craft.seats) do
      local positions = s.positions or { false } -- a seat without selector: one pass
      for index, device in ipairs(positions) do
        local what = string.format("%s seat %d position %d", craft.name, seat, index - 1)
        local game = rig()
        game:board(craft.name, cockpit(craft))
        game.seat = seat
        -- Each selector on its seat's own baseline radio, and those differ:
        -- a seat reading another seat's selector starts on the wrong radio.
        for _, other in pairs(craft.seats) do
          if other.arg then
            game.arguments[other.arg] = indexOf(other.positions, other.baseline) * craft.step
          elseif other.eufd then
            game.indications[other.eufd] = eufd(indexOf(other.positions, other.baseline), 4)
          end
        end
        game:start()
        local first = nextSent(game, 0.1)
        eq(first, textOf(craft.radios[s.baseline or s.default]), what .. ": first datagram")
        if s.arg or s.eufd then
          game:run(0.3 * math.random())
          if s.eufd then
            game.indications[s.eufd] = eufd(device ~= NONE and index - 1 or nil, index % 5)
          else
            -- A detent is never exact: the reading sits a hair off it.
            game.arguments[s.arg] = (index - 1) * craft.step + (index % 2 == 0 and 0.004 or -0.003)
          end
          local sent = nextSent(game, 0.1)
          if device == NONE then
            eq(sent, nil, what .. ": sent within 0.1 s")
            eq(nextSent(game, 0.6), first, what .. ": the radio kept")
            game:run(2)
            eq(#game:logged(s.why or "transmits on no radio"), 1, what .. ": lines saying why")
          elseif textOf(craft.radios[device]) == nil then
            eq(nextSent(game, 1), nil, what .. ": sent from an HF set")
          elseif device ~= s.baseline then
            eq(sent, textOf(craft.radios[device]), what .. ": datagram within 0.1 s")
          end
        else
          game.arguments[30], game.arguments[455] = 0.4, 0.6
          eq(nextSent(game, 0.6), first, what .. ": the default radio, selectors aside")
        end
        eq(craft.unread and game.devices[craft.unread].reads, nil, what .. ": a receiver read")
        game.close()
      end
    end
  end
end)

case("a change of seat and where the seat comes from", function()
  local game = rig()
  game:board("Mi-24P", cockpit(AIRCRAFT[1]))
  game.arguments[455], game.arguments[659] = 0, 0.6 -- pilot R-863, operator R-828
  game.seat = 1
  game:start()
  eq(nextSent(game, 0.1), "40000", "the operator's R-828 at start")
  -- how the game offers the seat, the seat, the datagram due within 0.1 s
  for _, step in ipairs({
    { "both", 0, "127000" }, { "both", 1, "40000" }, { "handle", 0, "127000" },
    { "handle", 1, "40000" }, { "list", 0, "127000" }, { "list", 1, "40000" },
    -- A module without the parameter, or a game without either call: the
    -- first seat.
    { "both", nil, "127000" }, { "list", 1, "40000" }, { "none", 1, "127000" },
    { "handle", 1, "40000" }, { "list", nil, "127000" },
  }) do
    game:run(0.3 * math.random())
    game:offerSeat(step[1])
    game.seat = step[2]
    eq(nextSent(game, 0.1), step[3], step[1] .. " seat " .. tostring(step[2]))
  end
  game.close()
end)

case("a device named in ZovikConfig.lua wins, for every seat or by seat", function()
  -- settings; aircraft; seat; selector argument and value; datagram
  for _, row in ipairs({
    { "['Mi-24P'] = 51", "Mi-24P", 0, 455, 0, "40000" },
    { "['Mi-24P'] = 51", "Mi-24P", 1, 659, 0, "40000" },
    { "['Mi-24P'] = { false, 49 }", "Mi-24P", 1, 659, 0.6, "127000" },
    { "['Mi-24P'] = { false, 49 }", "Mi-24P", 0, 455, 0.6, "40000" },
    { "['UH-1H'] = { 20 }", "UH-1H", 0, 30, 0.3, "124000" },
    { "['UH-1H'] = { 20 }", "UH-1H", 1, 30, 0.3, "251000" },
  }) do
    local game = rig(", radios = { " .. row[1] .. " }")
    game:board(row[2], cockpit(row[2] == "UH-1H" and AIRCRAFT[2] or AIRCRAFT[1]))
    game.seat, game.arguments[row[4]] = row[3], row[5]
    game:start()
    eq(nextSent(game, 0.1), row[6], row[1] .. " seat " .. row[3])
    game.close()
  end
end)

case("a failing panel and reads only at read time", function()
  local game = rig()
  game:board("UH-1H", cockpit(AIRCRAFT[2]))
  game.arguments[30] = 0.4 -- VHF AM
  game:start()
  eq(nextSent(game, 0.1), "124000", "VHF AM")
  -- The main panel fails: the last radio stays, the log says so once.
  game.getDeviceFails = true
  game:run(1)
  eq(#game:logged("not read"), 1, "lines about the failing panel")
  game.getDeviceFails = false
  game.arguments[30] = 0.3
  eq(nextSent(game, 0.1), "251000", "UHF once the panel answers")
  local reads, from = game.argumentReads, game.time
  game:run(10, 1 / 200)
  assert(game.argumentReads - reads <= 20 * (game.time - from) + 1,
    "selector reads in 10 s: " .. game.argumentReads - reads)
  game.close()
end)

case("the EUFD as the game shows it, fails to show it, and reads only at read time", function()
  local craft = AIRCRAFT[4]
  local game = rig()
  game:board(craft.name, cockpit(craft))
  game.seat, game.indications[19] = 1, eufd(2, 0) -- the CPG on FM1
  game:start()
  eq(nextSent(game, 0.1), "40000", "FM1")
  -- the text of list 19 (or a failing call); the datagram within 0.1 s, or
  -- nil where the last radio stays (and its resend is the next datagram)
  local kept = "40000"
  for _, row in ipairs({
    { string.rep("-", 41) .. "\nRts_UHF_\n<", "251000" }, -- UHF, the text ending on it
    { eufd(0, nil), "124000" }, -- VHF
    { "", nil }, -- the EUFD off
    { eufd(nil, 3):gsub("Rts_FM2_\n=", "Rts_FM2_\n<<"), nil }, -- no "<" alone on a line
    { false, nil }, -- list_indication raises
    { eufd(3, 3), "45000" }, -- FM2
  }) do
    game:run(0.3 * math.random())
    game.indicationFails = row[1] == false
    game.indications[19] = row[1] or ""
    eq(nextSent(game, row[2] and 0.1 or 0.6), row[2] or kept, "EUFD " .. tostring(row[2]))
    kept = row[2] or kept
  end
  eq(#game:logged("not read"), 1, "lines about the failing list")
  eq(#game:logged("no radio marked <"), 1, "lines about an EUFD marking none")
  local reads, from = game.indicationReads, game.time
  game:run(10, 1 / 200)
  assert(game.indicationReads - reads <= 20 * (game.time - from) + 1,
    "EUFD reads in 10 s: " .. game.indicationReads - reads)
  game.close()
end)

math.randomseed(21)
Cases.run()
