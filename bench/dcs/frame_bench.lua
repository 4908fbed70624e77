-- What the export script costs the game, measured in the mock game under
-- Lua 5.1: prints the game-side rows of BENCHMARKS.md.
--   lua5.1 frame_bench.lua SCRIPTS_DIR [PAIRS]
-- Each figure is a median over PAIRS (31) sample pairs; a pair times the same
-- frame loop with only another tool's callbacks and with ZOVIK loaded after
-- that tool, next to each other in time.
local scriptsDir = assert(arg[1], "usage: frame_bench.lua SCRIPTS_DIR [PAIRS]")
local pairsCount = tonumber(arg[2] or "31")
package.path = arg[0]:gsub("[^/]+$", "") .. "../../tests/dcs/?.lua;" .. package.path
local Mock = require("mock_game")
local socket = Mock.socket
local CALLBACKS = { "LuaExportBeforeNextFrame", "LuaExportAfterNextFrame",
  "LuaExportActivityNextEvent" }

local function median(values)
  local sorted = {}
  for i, v in ipairs(values) do sorted[i] = v end
  table.sort(sorted)
  local n = #sorted
  return n % 2 == 1 and sorted[(n + 1) / 2] or (sorted[n / 2] + sorted[n / 2 + 1]) / 2
end
local function spread(values)
  return string.format("%.3f (%.3f–%.3f)", median(values), math.min(unpack(values)),
    math.max(unpack(values)))
end

local receiver = Mock.receiver()
local dir, remove = Mock.writedir(scriptsDir, "return { port = " .. receiver.port .. " }")
local game = Mock.new({ writedir = dir })

-- Another export tool with light work in each callback, as cockpit
-- exporters have; it wants to run once a second.
Mock.neighbour(1)
local alone = {}
for _, name in ipairs(CALLBACKS) do alone[name] = _G[name] end
game:load()
local withZovik = {}
for _, name in ipairs(CALLBACKS) do withZovik[name] = _G[name] end
local function use(set)
  for _, name in ipairs(CALLBACKS) do _G[name] = set[name] end
end

-- The Mi-24P's operator: every read also asks the SEAT parameter and reads
-- his transmit selector (argument 659, on the R-828, device 51).
game.aircraft, game.seat = "Mi-24P", 1
game:offerSeat("handle")
game.arguments[455], game.arguments[659] = 0, 0.6
game.devices[51] = { hz = 40000192, on = true }
game.devices[49] = { hz = 127000000, on = true }
local radio = game.devices[51]
game:start()
game:run(2)

-- µs per frame of `frames` frames of `dt` s of model time.
local function sample(set, frames, dt)
  use(set)
  local began = socket.gettime()
  for _ = 1, frames do game:frame(dt) end
  return (socket.gettime() - began) * 1e6 / frames
end

local function paired(frames, dt)
  local base, with, added = {}, {}, {}
  for i = 1, pairsCount do
    local a, b
    if i % 2 == 0 then
      a = sample(alone, frames, dt)
      b = sample(withZovik, frames, dt)
    else
      b = sample(withZovik, frames, dt)
      a = sample(alone, frames, dt)
    end
    base[i], with[i], added[i] = a, b, b - a
  end
  return base, with, added
end

local function row(figure, measured, baseline, result, target, met)
  print(string.format("| %s | Lua 5.1, mock game | %s | %s | %s | %s | %s |", figure, measured,
    baseline, result, target, met == nil and "reported" or (met and "met" or "**not met**")))
end

-- Frames between reads: model time moves a nanosecond a frame, so no read
-- falls due; what is left is the chained call and the time comparison.
local readsBefore = game.reads
local base, with, added = paired(200000, 1e-9)
assert(game.reads - readsBefore <= 1, "reads happened in the frames between reads")
row("G1 Frame between radio reads, time added per frame (200,000 frames a sample)",
  "with ZOVIK: " .. spread(with) .. " µs", "another tool alone: " .. spread(base) .. " µs",
  "+" .. spread(added) .. " µs", "≤ 1 µs", median(added) <= 1)

-- Memory between reads: the collector stopped, the heap's growth over many
-- frames of each set, per frame, in bytes (Lua counts it in KiB).
local function allocated(set, frames)
  use(set)
  game:frame(1e-9) -- a first call may size a buffer once
  collectgarbage("collect")
  collectgarbage("stop")
  local before = collectgarbage("count")
  for _ = 1, frames do game:frame(1e-9) end
  local bytes = (collectgarbage("count") - before) * 1024 / frames
  collectgarbage("restart")
  return bytes
end
readsBefore = game.reads
local aloneBytes, withBytes = allocated(alone, 100000), allocated(withZovik, 100000)
assert(game.reads - readsBefore <= 1, "reads happened in the frames between reads")
row("G7 Frame between radio reads, bytes allocated per frame (100,000 frames, collector stopped)",
  string.format("with ZOVIK: %.3f B", withBytes), string.format("another tool alone: %.3f B",
  aloneBytes), string.format("%+.3f B", withBytes - aloneBytes), "0 B", withBytes - aloneBytes <= 0)

-- Every frame a read: 0.05 s of model time a frame, so each frame asks the
-- aircraft and reads its radio; every 40th resends.
readsBefore = game.reads
local selectorReadsBefore = game.argumentReads
base, with, added = paired(20000, 0.05)
assert(game.reads - readsBefore >= pairsCount * 20000 * 0.99, "frames without a read")
assert(game.argumentReads - selectorReadsBefore >= pairsCount * 20000 * 0.99,
  "frames without a selector read")
row("G2 Frame that reads the radio, time added per frame (20,000 frames a sample; the seat and"
  .. " the transmit selector read too; 1 in 40 also sends)",
  "with ZOVIK: " .. spread(with) .. " µs", "another tool alone: " .. spread(base) .. " µs",
  "+" .. spread(added) .. " µs", "≤ 20 µs", median(added) <= 20)
use(withZovik)

-- A minute of model time at 60 frames a second, the radio steady.
receiver:discard()
radio.hz = 45000000
game:run(0.5)
receiver:take()
local sendsBefore = #game.sends
game:run(60)
local received = #receiver:take()
local limit = 60 / 2 + 1
row("G3 Datagrams in a minute of model time, radio steady, resendSeconds 2 (60 frames a second)",
  "sent " .. #game.sends - sendsBefore .. ", received " .. received, "—", tostring(received),
  "≤ 60/resendSeconds + 1 = " .. limit, received <= limit and #game.sends - sendsBefore <= limit)

-- Knob turns at random moments between reads, 60 frames a second.
math.randomseed(10500)
local latencies = {}
for i = 1, 400 do
  game:run(math.random(1, 30) / 60)
  local sendsAt, turnedAt = #game.sends, game.time
  radio.hz = i % 2 == 1 and 40500000 or 40000000
  latencies[i] = game:untilSent(turnedAt, 1) or math.huge
end
local worst = math.max(unpack(latencies))
row("G4 Knob turn → datagram sent, model time (400 turns at random moments, 60 frames a second)",
  string.format("median %.3f s · max %.3f s", median(latencies), worst), "—",
  string.format("max %.3f s", worst), "≤ 0.1 s", worst <= 0.1)

-- Changes of seat at random moments between reads, 60 frames a second: to
-- an FA-18C_hornet whose devices 49 and 51 (the Mi-24P's radio numbers) are
-- navigation receivers tuned inside the band, to the Mi-24P's operator seat
-- (R-828 selected), and from it to the pilot's seat (R-863 selected).
local mi24 = game.devices
radio.hz = 40000000
local seats = {
  { "FA-18C_hornet", { [38] = { hz = 305000000 }, [49] = { hz = 133000000 },
    [51] = { hz = 133000000 } }, "305000" },
  { "Mi-24P", mi24, "40000", 1 },
  { "Mi-24P", mi24, "127000", 0 },
}
local changes, wrong, sendsBefore6 = {}, 0, #game.sends
for i = 1, 400 do
  game:run(math.random(1, 30) / 60)
  local seat, changedAt, sendsAt = seats[(i - 1) % 3 + 1], game.time, #game.sends
  game:board(seat[1], seat[2])
  game.seat = seat[4]
  changes[i] = game:untilSent(changedAt, 1) or math.huge
  if changes[i] < math.huge and game.sends[sendsAt + 1].text ~= seat[3] then wrong = wrong + 1 end
end
for i = sendsBefore6 + 1, #game.sends do
  if game.sends[i].text == "133000" then wrong = wrong + 1 end
end
worst = math.max(unpack(changes))
row("G6 Change of seat → the new radio's datagram, model time (400 changes at random moments"
  .. " between an aircraft and two crew seats of another, selectors read, 60 frames a second)", string.format("median %.3f s · max %.3f s;"
  .. " datagrams from the last seat's device number: %d", median(changes), worst, wrong), "—",
  string.format("max %.3f s, %d wrong", worst, wrong), "≤ 0.1 s, none wrong",
  worst <= 0.1 and wrong == 0)

game:stop()
receiver:close()
remove()
