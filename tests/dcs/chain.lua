-- The whole chain from the cockpit: the export script in the mock game turns
-- radios and changes seats; its datagrams go over real UDP to the plugin in
-- the host stand-in, which this script drives and whose answers it reads.
-- Frames are paced by model time alone: each step flies until the script
-- sends (within 0.1 s of model time), then waits on the stand-in for the move
-- ("wait-moves" fails after 10 s, which ends the stand-in and this script).
--   lua5.1 chain.lua WRITEDIR WORK TURNS HOST_COMMAND...
-- WRITEDIR holds Scripts/ZOVIK (the repository's dcs/ folder); WORK holds the
-- FIFO "commands", the plugin folder, and receives host.out, every line the
-- stand-in printed; TURNS extra knob turns add to the latency sample.
local writedir, work, turns = arg[1], arg[2], tonumber(arg[3] or "")
assert(turns and arg[4], "usage: chain.lua WRITEDIR WORK TURNS HOST_COMMAND...")
package.path = arg[0]:gsub("[^/]+$", "") .. "?.lua;" .. package.path
local Mock = require("mock_game")
local socket = Mock.socket

local words = {}
for i = 4, #arg do words[#words + 1] = "'" .. arg[i]:gsub("'", "'\\''") .. "'" end
local host = assert(io.popen(table.concat(words, " ") .. " <'" .. work .. "/commands' 2>&1"))
local commands = assert(io.open(work .. "/commands", "w"))
local transcript = assert(io.open(work .. "/host.out", "w"))
local function command(text)
  commands:write(text, "\n")
  commands:flush()
end
-- The stand-in's next line and the wall time it was read; nil once it ended.
local function hostLine()
  local line = host:read("*l")
  if line then
    line = line:gsub("\r$", "")
    transcript:write(line, "\n")
    transcript:flush()
  end
  return line, socket.gettime()
end

command("load\ninit\nchannels 1\nconnect 1")
-- The game starts sending once the plugin listens, as a pilot's client is
-- normally up before the mission. Its log is the only sign of that.
local pluginLog = work .. "/plugins/zovik_plugin/zovik_plugin.log"
local deadline = socket.gettime() + 60
repeat
  local file = io.open(pluginLog, "rb")
  local text = file and file:read("*a") or ""
  if file then file:close() end
  assert(socket.gettime() < deadline, "the plugin did not start listening within 60 s")
  socket.sleep(0.01)
until text:find("Thread UDP server started on 10500", 1, true)

-- Waits for move number `count`; returns its channel id, name and the wall
-- time its line arrived. The stand-in prints each move from the plugin's
-- thread, so that line may come before or after the answer to "where".
local movedAt = {}
local function move(count)
  command("wait-moves " .. count .. " 10000\nwhere 1")
  local id, name
  while not (id and movedAt[count]) do
    local line, at = hostLine()
    if not line then error("the host stand-in ended while waiting for move " .. count) end
    if line:find("^moved to channel") then movedAt[#movedAt + 1] = at end
    local where, named = line:match("^connection 1: in channel (%d+) '(.*)'$")
    if where then id, name = tonumber(where), named end
  end
  return id, name, movedAt[count]
end

local game = Mock.new({ writedir = writedir:match("[/\\]$") and writedir or writedir .. "/" })
game:load()
game:start()

-- aircraft, device, hertz as a module reports it, expected channel id;
-- `turn` marks a knob turn in the same aircraft, any other a change of seat.
local steps = {
  { "F-16C_50", 36, 251000192, 10 }, { "F-16C_50", 36, 251500000.4, 11, turn = true },
  { "Su-27" }, -- Flaming Cliffs: no radio, nothing sent; the next step moves
  { "Ka-50", 48, 251000000, 10 }, { "Ka-50", 48, 127524999.6, 13, turn = true },
  { "UH-1H", 22, 251250002, 12 }, { "UH-1H", 22, 243500000, 18, turn = true },
  { "Mi-8MT", 38, 124050000, 14 }, { "Mi-8MT", 38, 251000000, 10, turn = true },
}
for i = 1, turns do
  steps[#steps + 1] = { "Mi-8MT", 38, i % 2 == 1 and 251500000 or 251000000,
    i % 2 == 1 and 11 or 10, turn = true }
end

math.randomseed(10500)
local moves, wall, modelTimes = 0, {}, {}
for _, step in ipairs(steps) do
  local aircraft, device, hz, expected = step[1], step[2], step[3], step[4]
  -- A change falls anywhere between two radio reads.
  game:run(math.random(0, 5) / 60)
  local changedAt = game.time
  game:board(aircraft, device and { [device] = { hz = hz, on = true } })
  if expected then
    local took = game:untilSent(changedAt, 0.1)
    assert(took, aircraft .. ": nothing sent within 0.1 s of model time")
    local sent = game.sends[#game.sends]
    moves = moves + 1
    local id, name, movedAt = move(moves)
    print(string.format("[model %7.3f s] %-9s device %-2d -> %.1f Hz | sent '%s' %.3f s later"
      .. " | moved to channel %d '%s' %.2f ms after the datagram (%s)", changedAt, aircraft,
      device, hz, sent.text, took, id, name, (movedAt - sent.wall) * 1000,
      step.turn and "knob turn" or "change of seat"))
    assert(id == expected, "expected channel " .. expected .. ", moved to " .. id)
    wall[#wall + 1] = (movedAt - sent.wall) * 1000
    modelTimes[#modelTimes + 1] = took
  else
    local before = #game.sends
    game:run(1.5)
    assert(#game.sends == before, aircraft .. ": sent without a readable radio")
    print(string.format("[model %7.3f s] %-9s no radio to read: nothing sent", changedAt, aircraft))
  end
end
game:stop()

command("where 1\nshutdown\nunload")
commands:close()
local unloaded = false
for line in hostLine do unloaded = unloaded or line == "unloaded" end
host:close()
transcript:close()
assert(unloaded, "the host stand-in did not unload the plugin")

local function median(values)
  table.sort(values)
  local n = #values
  return n % 2 == 1 and values[(n + 1) / 2] or (values[n / 2] + values[n / 2 + 1]) / 2
end
local middle = median(wall)
print(string.format("datagram -> requestClientMove: median %.2f ms, max %.2f ms over %d moves"
  .. "; change -> datagram: max %.3f s of model time", middle, wall[#wall], #wall,
  math.max(unpack(modelTimes))))
print("datagrams sent: " .. #game.sends .. ", moves: " .. moves)
