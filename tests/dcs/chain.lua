-- The whole chain from the cockpit: the export script in the mock game,
-- flown in real time, turns radios of several aircraft; the datagrams go
-- over real UDP to the plugin in the host stand-in, whose output tells each
-- channel move. Every step waits for its move (or fails after 10 s).
--   lua5.1 chain.lua WRITEDIR PLUGIN_LOG HOST_OUTPUT [TURNS]
-- WRITEDIR holds Scripts/ZOVIK (the repository's dcs/ folder); TURNS extra
-- knob turns on one radio add to the latency sample.
local writedir, pluginLog, hostOutput = arg[1], arg[2], arg[3]
local turns = tonumber(arg[4] or "0")
assert(hostOutput, "usage: chain.lua WRITEDIR PLUGIN_LOG HOST_OUTPUT [TURNS]")
package.path = arg[0]:gsub("[^/]+$", "") .. "?.lua;" .. package.path
local Mock = require("mock_game")
local socket = Mock.socket

local function readAll(path)
  local file = io.open(path, "rb")
  if not file then return "" end
  local text = file:read("*a")
  file:close()
  return text
end

-- The game starts sending once the plugin listens, as a pilot's client is
-- normally up before the mission.
local deadline = socket.gettime() + 60
while not readAll(pluginLog):find("Thread UDP server started on 10500", 1, true) do
  assert(socket.gettime() < deadline, "the plugin did not start listening within 60 s")
  socket.sleep(0.01)
end

local game = Mock.new({ writedir = writedir:match("[/\\]$") and writedir or writedir .. "/" })
game:load()
game:start()
local wallStart = socket.gettime()
local FRAME = 1 / 60

-- One frame, at its model time in wall time.
local function frame()
  game:frame(FRAME)
  local ahead = wallStart + game.time - socket.gettime()
  if ahead > 0 then socket.sleep(ahead) end
end

-- The move after the ones already seen, if the host has printed it.
local movesSeen = 0
local function newMove()
  local count = 0
  for id, name in readAll(hostOutput):gmatch("moved to channel (%d+) '([^\r\n]*)'") do
    count = count + 1
    if count > movesSeen then
      movesSeen = count
      return tonumber(id), name
    end
  end
end

-- Runs frames until the host prints one more move; returns its channel id,
-- name and the wall time it was seen. The output is looked at every
-- millisecond while a frame waits for its time.
local function nextMove()
  local limit = socket.gettime() + 10
  while socket.gettime() < limit do
    game:frame(FRAME)
    repeat
      local id, name = newMove()
      if id then return id, name, socket.gettime() end
      local ahead = wallStart + game.time - socket.gettime()
      if ahead > 0 then socket.sleep(math.min(ahead, 0.001)) end
    until ahead <= 0
  end
  error("no move within 10 s (moves so far: " .. movesSeen .. ")")
end

-- aircraft, device, hertz as a module reports it, expected channel id;
-- `turn` marks a knob turn in the same aircraft (the latency sample).
local steps = {
  { "F-16C_50", 36, 251000192, 10 }, { "F-16C_50", 36, 251500000.4, 11, turn = true },
  { "Su-27" }, -- Flaming Cliffs: no radio, no move; the next step moves
  { "Ka-50", 48, 251000000, 10 }, { "Ka-50", 48, 127524999.6, 13, turn = true },
  { "UH-1H", 22, 251250002, 12 }, { "UH-1H", 22, 243500000, 18, turn = true },
  { "Mi-8MT", 38, 124050000, 14 }, { "Mi-8MT", 38, 251000000, 10, turn = true },
}
for i = 1, turns do
  steps[#steps + 1] = { "Mi-8MT", 38, i % 2 == 1 and 251500000 or 251000000, i % 2 == 1 and 11 or 10,
    turn = true }
end

math.randomseed(10500)
local latencies, modelLatencies = {}, {}
for _, step in ipairs(steps) do
  local aircraft, device, hz, expected = step[1], step[2], step[3], step[4]
  -- A knob turn falls anywhere between two radio reads.
  for _ = 1, math.random(0, 5) do frame() end
  game.aircraft = aircraft
  if device then
    game.devices = { [device] = { hz = hz, on = true } }
  else
    game.devices = {}
    for _ = 1, 90 do frame() end
  end
  if expected then
    local sendsBefore, changedAt, changedModel = #game.sends, socket.gettime(), game.time
    local id, name, movedAt = nextMove()
    local sent = game.sends[sendsBefore + 1]
    print(string.format("[model %7.3f s] %-9s device %-2d -> %.1f Hz | sent '%s' at model %.3f s"
      .. " | moved to channel %d '%s' %.1f ms after the %s", changedModel, aircraft, device, hz,
      sent and sent.text or "?", sent and sent.time or -1, id, name, (movedAt - changedAt) * 1000,
      step.turn and "knob turn" or "aircraft change"))
    assert(id == expected, "expected channel " .. expected .. ", moved to " .. id)
    if step.turn then
      latencies[#latencies + 1] = (movedAt - changedAt) * 1000
      modelLatencies[#modelLatencies + 1] = sent.time - changedModel
    end
  else
    print(string.format("[model %7.3f s] %-9s no radio to read: nothing sent", game.time, aircraft))
  end
end
game:stop()

local function median(values)
  table.sort(values)
  local n = #values
  return n % 2 == 1 and values[(n + 1) / 2] or (values[n / 2] + values[n / 2 + 1]) / 2
end
local middle = median(latencies)
print(string.format("knob turn -> requestClientMove: median %.1f ms, max %.1f ms over %d turns"
  .. "; knob turn -> datagram: max %.3f s of model time",
  middle, latencies[#latencies], #latencies, math.max(unpack(modelLatencies))))
print("datagrams sent: " .. #game.sends .. ", moves: " .. movesSeen)
