-- The game-side scripts under a plain Lua 5.1: the pure rules, then the
-- export callbacks driven by the mock game with a real receiving socket.
--   lua5.1 export_test.lua SCRIPTS_DIR README
-- SCRIPTS_DIR: dcs/Scripts/ZOVIK of the repository; README: its README.md,
-- whose aircraft table must be the one the code follows.
local scriptsDir, readmePath = assert(arg[1], "usage: export_test.lua SCRIPTS_DIR README"), arg[2]
package.path = arg[0]:gsub("[^/]+$", "") .. "?.lua;" .. package.path
local Mock = require("mock_game")
local Cases = require("cases")
local eq, case = Cases.eq, Cases.case
local function module(name) return dofile(scriptsDir .. "/" .. name .. ".lua") end

local function list(t) return table.concat(t, ",") end

case("frequency rule", function()
  local Radio = module("ZovikRadio")
  for _, row in ipairs({
    { 251000192, nil, "251000" }, { 127524999.6, nil, "127525" }, { 125375435, nil, "125375" },
    { 30000999, nil, "30001" }, { 30000400, nil, nil }, { 399999400, nil, "399999" },
    { 399999600, nil, nil }, { 0 / 0, nil, nil }, { 1 / 0, nil, nil }, { "251000000", nil, nil },
    { 251012000, 25, "251000" }, { 251013000, 25, "251025" }, { 399987600, 25, nil },
  }) do
    eq(Radio.datagram(row[1], row[2]), row[3], "datagram(" .. tostring(row[1]) .. ")")
  end
end)

case("settings check", function()
  local Settings = module("ZovikSettings")
  local s, problems = Settings.check({ host = "10.0.0.2", port = 10600, resendSeconds = 5,
    radios = { ["F-16C_50"] = 38 } })
  eq(#problems, 0, "problems of good settings")
  eq(s.host, "10.0.0.2", "host kept")
  eq(s.port, 10600, "port kept")
  eq(s.resendSeconds, 5, "resendSeconds kept")
  eq(s.radios["F-16C_50"], 38, "radio kept")
  for _, row in ipairs({
    { "nope", "host", "127.0.0.1" }, { { port = "10500" }, "port", 10500 },
    { { port = 70000 }, "port", 10500 }, { { resendSeconds = 0 }, "resendSeconds", 2 },
    { { host = "" }, "host", "127.0.0.1" }, { { resendSecs = 1 }, "resendSeconds", 2 },
    -- The game's UDP socket is IPv4 only.
    { { host = "::1" }, "host", "127.0.0.1", "IPv6" },
  }) do
    s, problems = Settings.check(row[1])
    eq(#problems, 1, "problems of " .. row[2])
    eq(s[row[2]], row[3], row[2] .. " falls back")
    assert(not row[4] or problems[1]:find(row[4], 1, true), "the line says why: " .. problems[1])
  end
  eq(Settings.check({ host = "PILOT_PC" }).host, "PILOT_PC", "a Windows computer's name")
  s, problems = Settings.check({ radios = { ["F-16C_50"] = "COM2", ["A-10C"] = 55 } })
  eq(#problems, 1, "problems of a wrong radios entry")
  eq(s.radios["A-10C"], 55, "good radios entry kept")
  eq(s.radios["F-16C_50"], nil, "wrong radios entry dropped")
end)

case("settings files as editors save them", function()
  local Settings = module("ZovikSettings")
  local path = os.tmpname()
  -- bytes of the file, port read, problem expected in the log
  for _, row in ipairs({
    { "\239\187\191return { port = 10600 }\r\n", 10600 }, -- Notepad's UTF-8
    { "\255\254r\0e\0t\0u\0r\0n\0", 10500, "UTF-16" }, -- Notepad's "Unicode"
    { "return {", 10500, "defaults used" },
  }) do
    local file = assert(io.open(path, "wb"))
    file:write(row[1])
    file:close()
    local settings, problems = Settings.load(path)
    eq(settings.port, row[2], "port of " .. string.format("%q", row[1]))
    eq(#problems, row[3] and 1 or 0, "problems of " .. string.format("%q", row[1]))
    assert(not row[3] or problems[1]:find(row[3], 1, true), "says why: " .. tostring(problems[1]))
  end
  os.remove(path)
end)

case("aircraft and their radios", function()
  local Aircraft = module("ZovikAircraft")
  local seen = {}
  for _, group in ipairs(Aircraft.groups()) do
    for _, name in ipairs(group.names) do
      assert(not seen[name], name .. " is listed twice")
      seen[name] = true
      local radio = Aircraft.radioFor(name)
      assert(radio == group.radios[1], name .. ": the first radio of its list is followed")
      for _, r in ipairs(group.radios) do
        assert(r.device == math.floor(r.device) and r.device > 0 and #r.label > 0, name .. " radio")
      end
    end
  end
  -- Only the AN/ARC-164 sets tune in 25 kHz steps and nothing finer.
  eq(Aircraft.radioFor("F-16C_50").spacing, 25, "F-16 COM1 snaps")
  eq(Aircraft.radioFor("F-16C_50", { ["F-16C_50"] = 38 }).spacing, nil, "its VHF COM2 does not")
  eq(Aircraft.radioFor("Su-27", { ["Su-27"] = 5 }).device, 5, "a configured device")
  eq(Aircraft.radioFor("Su-27"), nil, "Flaming Cliffs: no clickable radio")
  eq(Aircraft.radioFor(nil), nil, "no aircraft")

  -- The README's table is this one: a pilot reads there what the code follows.
  local Crew = module("ZovikCrew")
  local expected = { "| aircraft | radio followed (device) | seat | transmit selector |",
    "|---|---|---|---|" }
  for _, group in ipairs(Aircraft.groups()) do
    local first = group.radios[1]
    local seat, selector = Crew.describe(group.names[1])
    expected[#expected + 1] = string.format("| %s | %s (%d) | %s | %s |",
      table.concat(group.names, ", "), first.label, first.device, seat, selector)
  end
  local wanted = table.concat(expected, "\n") .. "\n\n"
  local readme = assert(io.open(assert(readmePath, "README path"), "rb")):read("*a")
  if not readme:find(wanted, 1, true) then
    error("README.md's aircraft table differs from ZovikAircraft.lua; it should read:\n" .. wanted)
  end
end)

case("the log says why nothing is sent, once per cause", function()
  local Follower, Aircraft = module("ZovikFollower"), module("ZovikAircraft")
  local settings = module("ZovikSettings").defaults()
  local lines, answer = {}, nil
  local cockpit = {
    selfData = function() return answer.aircraft and { Name = answer.aircraft } end,
    frequency = function()
      if answer.hz == "fail" then error("device failure") end
      return answer.hz
    end,
  }
  local f = Follower.new(settings, Aircraft, module("ZovikRadio"),
    function(_, line) lines[#lines + 1] = line end)
  local now = 0
  -- what the cockpit answers, a text the one line about it holds
  for _, row in ipairs({
    { {}, "no aircraft" },
    { { aircraft = "Su-27" }, "ZovikConfig.lua" },
    { { aircraft = "F-16C_50", hz = nil }, "is off" },
    { { aircraft = "F-16C_50", hz = "fail" }, "device failure" },
    { { aircraft = "F-16C_50", hz = 3500000 }, "3.500 MHz" },
  }) do
    answer = row[1]
    for _ = 1, 2 do -- the cause comes back after another: still one line
      for _ = 1, 10 do
        now = now + 0.05
        eq(f:read(now, cockpit), nil, "sent with " .. row[2])
      end
      answer = { aircraft = "F-16C_50", hz = 251000000 }
      now = now + 0.05
      eq(f:read(now, cockpit), "251000", "sent again after " .. row[2])
      answer = row[1]
    end
    local count = 0
    for _, line in ipairs(lines) do
      if line:find(row[2], 1, true) then count = count + 1 end
    end
    eq(count, 1, "lines about " .. row[2])
  end
end)

-- A mock game with ZOVIK installed, sending to a fresh receiver; `config`
-- extends the settings, `before(game)` runs before the script loads, and
-- `load(game)` in the place of game:load().
local function rig(config, before, load)
  local receiver = Mock.receiver()
  local dir, remove = Mock.writedir(scriptsDir, "return { port = " .. receiver.port
    .. ", resendSeconds = 2" .. (config or "") .. " }")
  local game = Mock.new({ writedir = dir })
  if before then before(game) end
  if load then load(game) else game:load() end
  game.close = function()
    game:stop()
    receiver:close()
    remove()
  end
  return game, receiver
end

case("changes, noise and resends", function()
  local game, rx = rig()
  game.aircraft = "F-16C_50"
  game.devices[36] = { hz = 251000192, on = true }
  game:start()
  game:run(0.1)
  eq(list(rx:take()), "251000", "first reading")
  for _, hz in ipairs({ 251000090, 250999999.2, 251012000 }) do
    game.devices[36].hz = hz
    game:run(0.5)
  end
  eq(list(rx:take()), "", "noise and a step inside the 25 kHz channel")
  game:run(0.5)
  eq(list(rx:take()), "251000", "resent after resendSeconds")
  local turned = game.time
  game.devices[36].hz = 127524999.6
  game:run(0.1)
  eq(list(rx:take()), "127525", "knob turn")
  local latency = game.sends[#game.sends].time - turned
  assert(latency <= 0.1, "knob to datagram took " .. latency .. " s of model time")
  local reads, from = game.reads, game.time
  game:run(10, 1 / 200)
  assert(game.reads - reads <= 20 * (game.time - from) + 1, "reads: " .. game.reads - reads)
  eq(#rx:take(), 5, "resends in 10 s")
  game.close()
end)

case("changes of seat and a failing game", function()
  local game, rx = rig()
  -- Device 36 is the F-16's COM1, and a navigation receiver tuned inside the
  -- band in the Hornet: read there, it would move the pilot.
  local navigation = { hz = 133000000 }
  local f16 = { [36] = { hz = 251000000, on = true } }
  local hornet = { [38] = { hz = 305000000 }, [36] = navigation }
  local function seat(name, devices) return function() game:board(name, devices) end end
  game:start()
  -- what happens; how long it lasts before it heals (nothing is sent
  -- meanwhile); the datagram due within 0.1 s after that
  for _, step in ipairs({
    { "take the F-16", seat("F-16C_50", f16), 0, "251000" },
    { "switch to the Hornet", seat("FA-18C_hornet", hornet), 0, "305000" },
    { "switch back", seat("F-16C_50", f16), 0, "251000" },
    { "LoGetSelfData fails", function() game.selfDataFails = true end, 1.1, "251000" },
    { "it fails while the pilot switches", function()
      game.selfDataFails = true
      game:board("FA-18C_hornet", hornet)
    end, 1.1, "305000" },
    { "GetDevice fails while the knob turns", function()
      game.getDeviceFails, hornet[38].hz = true, 305500000
    end, 1.1, "305500" },
    { "the radio fails", function() hornet[38].fail = true end, 1.1, "305500" },
  }) do
    game:run(0.3 * math.random())
    step[2]()
    local before = #game.sends
    game:run(step[3])
    eq(#game.sends, before, step[1] .. ": datagrams while it lasts")
    game.selfDataFails, game.getDeviceFails, hornet[38].fail = false, false, nil
    assert(game:untilSent(game.time, 0.1), step[1] .. ": nothing sent within 0.1 s")
    eq(game.sends[#game.sends].text, step[4], step[1] .. ": datagram")
  end
  eq(navigation.reads, nil, "reads of the F-16's device number in the Hornet")
  eq(#rx:take(), #game.sends, "datagrams received")
  game.close()
end)

case("nothing sent without a readable radio", function()
  local game, rx = rig(", radios = { ['A-10C'] = 99 }")
  game:start()
  local function expectNothing(what)
    game:run(1.2)
    eq(list(rx:take()), "", what)
  end
  expectNothing("no aircraft")
  game.aircraft = "Su-27"
  expectNothing("Flaming Cliffs aircraft")
  game.aircraft = "A-10C"
  expectNothing("configured device missing")
  game.aircraft = "F-16C_50"
  game.devices[36] = { hz = 251000000, on = true }
  game:run(1.1)
  eq(list(rx:take()), "251000", "radio on")
  game.devices[36].on = false
  expectNothing("radio off")
  game.devices[36].on = true
  game:run(0.1)
  eq(list(rx:take()), "251000", "radio on again")
  for _, state in ipairs({ { hz = 0 / 0 }, { hz = 3500000 }, { hz = 251000000, fail = true } }) do
    game.devices[36] = state
    expectNothing("reading " .. tostring(state.hz) .. (state.fail and " failing" or ""))
  end
  game:run(5)
  eq(#game:logged("no device 99"), 1, "missing device logged once")
  eq(#game:logged("device failure"), 1, "failing device logged once")
  eq(#game:logged("Su-27: no radio known"), 1, "aircraft without radio said once")
  game.close()
end)

case("configured radio and broken settings", function()
  local game, rx = rig(", radios = { ['F-16C_50'] = 38 }")
  game.aircraft = "F-16C_50"
  game.devices[36] = { hz = 251000000 }
  game.devices[38] = { hz = 124050000 }
  game:start()
  game:run(0.1)
  eq(list(rx:take()), "124050", "COM2 followed")
  game.close()
  for _, config in ipairs({ "return {", "error('x')", "return 5", false }) do
    local dir, remove = Mock.writedir(scriptsDir, config)
    game = Mock.new({ writedir = dir })
    game:load()
    game:start()
    game:run(1)
    eq(#game:logged("defaults used"), 1, "log line for config " .. tostring(config))
    game:stop()
    remove()
  end
end)

case("a host the socket cannot use", function()
  local game, rx = rig(", host = '::1'")
  game:board("UH-1H", { [22] = { hz = 251500000 } })
  game:start()
  game:run(0.1)
  eq(#game:logged("IPv6"), 1, "lines about an IPv6 host")
  eq(list(rx:take()), "251500", "sent to the default host")
  game.close()

  -- A name is looked up at the mission's start only: a look-up may hold the
  -- frame for seconds while the resolver waits.
  game, rx = rig(", host = 'tower'", function(g) g.hosts.tower = false end)
  game:board("UH-1H", { [22] = { hz = 251500000 } })
  game:start()
  game:run(25)
  eq(game.lookups, 1, "look-ups in a mission")
  eq(#game:logged("tower"), 1, "lines about the unknown host")
  eq(list(rx:take()), "251500" .. string.rep(",251500", 12), "sent to 127.0.0.1 meanwhile")
  game.hosts.tower = "127.0.0.2"
  game:stop()
  game:start()
  game:run(0.1)
  eq(game.lookups, 2, "look-ups after the next mission's start")
  eq(#rx:take(), 0, "datagrams to 127.0.0.1 once the name is found elsewhere")
  eq(game.sends[#game.sends].host, "127.0.0.2", "where the next mission sends")
  game.close()
end)

case("a good neighbour", function()
  local calls
  local game, rx = rig(nil, function() calls = Mock.neighbour(1, true) end)
  local startCallback = LuaExportStart
  game:load()
  eq(LuaExportStart, startCallback, "second load leaves the callbacks")
  game.aircraft = "Ka-50"
  game.devices[48] = { hz = 127525000 }
  game:start()
  for _ = 1, 300 do game:frame(0.02) end
  eq(calls.start, 1, "neighbour's starts")
  eq(calls.before, 300, "neighbour's calls before a frame")
  eq(calls.after, 300, "neighbour's calls after a frame")
  -- The game calls the activity at its first frame, then at the first frame
  -- of each second it asked for, with that frame's model time.
  eq(calls.event, 6, "neighbour's activity calls in 6 s")
  for i = 2, #calls.times do
    local late = calls.times[i] - (calls.times[i - 1] + 1)
    eq(late >= -1e-9 and late < 0.02, true, "activity call " .. i .. " at " .. calls.times[i])
  end
  eq(list(rx:take()), "127525,127525,127525", "despite the neighbour's error and the second load")
  eq(#game:logged("neighbour broke"), 1, "neighbour's error logged once")
  game.close()
  eq(calls.stop, 1, "neighbour's stop")

  -- A neighbour whose activity ended is not called again.
  game, rx = rig(nil, function() calls = Mock.neighbour(nil) end)
  game:board("UH-1H", { [22] = { hz = 251500000 } })
  game:start()
  game:run(3)
  eq(calls.event, 1, "activity calls of a neighbour that ended them")
  rx:discard()
  -- A tool loaded after ZOVIK that chains only the frame callback.
  local zovikAfter = LuaExportAfterNextFrame
  LuaExportAfterNextFrame = function() zovikAfter() end
  LuaExportActivityNextEvent = nil
  game.devices[22].hz = 251000000
  game:run(0.1)
  eq(list(rx:take()), "251000", "frames alone drive the script")
  game.close()
end)

case("leaving the aircraft", function()
  local game, rx = rig()
  game:start()
  game:run(3)
  eq(list(rx:take()), "", "no aircraft before any frequency")
  local f16 = { [36] = { hz = 251000000, on = true } }
  -- what happens, how long it lasts, the datagrams received meanwhile
  for _, step in ipairs({
    { "take the F-16", function() game:board("F-16C_50", f16) end, 0.1, "251000" },
    { "leave it", function() game:board(nil) end, 5, "0,0,0" },
    { "take it again", function() game:board("F-16C_50", f16) end, 0.1, "251000" },
    { "die", function() game:board(nil) end, 0.1, "0" },
  }) do
    step[2]()
    game:run(step[3])
    eq(list(rx:take()), step[4], step[1])
  end
  game:stop()
  game:start()
  game:run(3)
  eq(list(rx:take()), "", "no aircraft in the next mission before any frequency")
  game.close()
end)

-- Export.lua's lines, run in order: "zovik" loads us, "plain" is a tool that
-- defines its callbacks plainly, "late" one that installs them in its start,
-- "chained" one that calls the callbacks it found.
local function exportFile(game, calls, lines)
  for _, line in ipairs(lines) do
    if line == "zovik" then
      game:load()
    elseif line == "plain" then
      Mock.plainNeighbour(calls)
    elseif line == "late" then
      Mock.lateNeighbour(calls)
    else
      local theirs = LuaExportAfterNextFrame
      LuaExportAfterNextFrame = function()
        calls.after = calls.after + 1
        if theirs then theirs() end
      end
    end
  end
end

case("neighbours that replace our callbacks, and loading twice", function()
  -- Export.lua's lines, how many times the game runs them, frame calls the
  -- neighbour gets in one frame
  for _, row in ipairs({
    { { "plain", "zovik" }, 2, 1 },
    { { "zovik", "plain", "zovik" }, 1, 1 },
    { { "zovik", "zovik" }, 1, 0 },
    { { "late", "zovik" }, 1, 1 },
    { { "chained", "zovik" }, 2, 2 },
  }) do
    local what = table.concat(row[1], ", ") .. " run " .. row[2] .. " times"
    local calls = { start = 0, after = 0 }
    local game, rx = rig(nil, nil, function(g)
      for _ = 1, row[2] do exportFile(g, calls, row[1]) end
    end)
    game:board("F-16C_50", { [36] = { hz = 251000000 } })
    for mission = 1, 2 do
      game:start()
      game:run(1)
      eq(list(rx:take()), "251000", what .. ": datagrams in mission " .. mission)
      local clock, after = game.clockReads, calls.after
      game:frame(1 / 60)
      eq(game.clockReads - clock, 1, what .. ": our frame work in one frame")
      eq(calls.after - after, row[3], what .. ": the neighbour's frame calls in one frame")
      game:stop()
    end
    game.close()
  end
end)

case("a neighbour that keeps itself on top at every frame", function()
  -- Its frame callback chains, and wraps the callback again whenever it is no
  -- longer on top; each entry into one of its layers is counted.
  local entries = 0
  local game, rx = rig(nil, function()
    local inside, installed = false, nil
    local function keep()
      local theirs = LuaExportAfterNextFrame
      installed = function()
        entries = entries + 1
        if inside then return theirs and theirs() end
        inside = true
        if theirs then theirs() end
        inside = false
        if LuaExportAfterNextFrame ~= installed then keep() end
      end
      LuaExportAfterNextFrame = installed
    end
    keep()
  end)
  game:board("F-16C_50", { [36] = { hz = 251000000 } })
  game:start()
  game:run(1)
  eq(list(rx:take()), "251000", "datagrams")
  local function entriesInOneFrame()
    local before = entries
    game:frame(1 / 60)
    return entries - before
  end
  local early = entriesInOneFrame()
  game:run(10)
  eq(entriesInOneFrame(), early, "the chain's layers after 10 s of frames")
  game.close()
end)

case("a script after ours that takes the frame callback in its start", function()
  local game = rig(nil, nil, function(g)
    g:load()
    local ours = LuaExportStart
    LuaExportStart = function()
      ours()
      LuaExportAfterNextFrame = function() end
    end
  end)
  game:board("F-16C_50", { [36] = { hz = 251000000 } })
  game:start()
  game:run(1)
  game:stop()
  eq(#game:logged("replaced ZOVIK's frame callback"), 1, "the mission's log")
  game.close()
end)

case("a failed send and a restarted clock", function()
  local game, rx = rig()
  game:board("F-16C_50", { [36] = { hz = 251000000 } })
  game.sendFails = true
  game:start()
  game:run(0.5)
  game.sendFails = false
  assert(game:untilSent(game.time, 0.1), "failed send not retried within 0.1 s")
  eq(list(rx:take()), "251000", "the datagram once the network is back")
  -- The mission restarts without a stop: model time starts again from 0.
  game:run(5)
  rx:take()
  game.time = 0
  game.devices[36].hz = 305000000
  assert(game:untilSent(0, 0.1), "nothing sent within 0.1 s of the model time going back")
  eq(list(rx:take()), "305000", "the datagram after the restart")
  game.close()
end)

case("stop and a second mission", function()
  local game, rx = rig()
  game.aircraft = "Mi-8MT"
  game.devices[38] = { hz = 243500000 }
  game:start()
  game:run(0.5)
  game:stop()
  game:run(5)
  eq(list(rx:take()), "243500", "nothing after stop")
  game:start()
  game:run(0.1)
  eq(list(rx:take()), "243500", "second mission sends at once")
  game.close()
end)

Cases.run()
