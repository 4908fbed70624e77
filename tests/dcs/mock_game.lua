-- A stand-in for DCS World's export state: model time and frames, the
-- player's aircraft, cockpit devices, lfs.writedir() and the game's log,
-- driving the export callbacks in the order the game does.
local M = {}

-- The real LuaSocket, for the tests' own sockets; the export script gets a
-- copy whose UDP sockets also note what they send.
local socket = require("socket")
M.socket = socket

local CALLBACKS = { "LuaExportStart", "LuaExportBeforeNextFrame", "LuaExportAfterNextFrame",
  "LuaExportActivityNextEvent", "LuaExportStop" }

-- A Saved Games folder in a temporary directory holding the scripts of
-- `scriptsDir` (dcs/Scripts/ZOVIK of the repository) and, unless `config`
-- is false, a ZovikConfig.lua: the given text, or the shipped one.
function M.writedir(scriptsDir, config)
  local root = os.tmpname()
  os.remove(root)
  local dir = root .. "/Scripts/ZOVIK/"
  assert(os.execute("mkdir -p '" .. dir .. "'") == 0)
  for _, name in ipairs({ "ZovikExport.lua", "ZovikRadio.lua", "ZovikAircraft.lua",
    "ZovikSettings.lua", "ZovikConfig.lua" }) do
    local text = assert(io.open(scriptsDir .. "/" .. name, "rb")):read("*a")
    if name == "ZovikConfig.lua" then
      text = config == nil and text or config
    end
    if text then
      local out = assert(io.open(dir .. name, "wb"))
      out:write(text)
      out:close()
    end
  end
  return root .. "/", function() os.execute("rm -rf '" .. root .. "'") end
end

-- A fresh export state in this Lua state: no callbacks, no ZOVIK loaded.
-- options.writedir: what lfs.writedir() answers.
function M.new(options)
  for _, name in ipairs(CALLBACKS) do
    _G[name] = nil
  end
  package.loaded.ZovikExport = nil

  local game = {
    time = 0,
    aircraft = nil, -- LoGetSelfData().Name, or nil for no aircraft
    devices = {}, -- id -> { hz = number, on = bool or nil (no is_on), fail = bool }
    reads = 0, -- get_frequency calls
    logLines = {},
    sends = {}, -- { time = model time, wall = socket.gettime(), text = datagram }
    nextEvent = nil,
  }

  local exportSocket = setmetatable({
    udp = function()
      local udp, err = socket.udp()
      if not udp then return nil, err end
      return {
        settimeout = function(_, ...) return udp:settimeout(...) end,
        sendto = function(_, text, host, port)
          game.sends[#game.sends + 1] = { time = game.time, wall = socket.gettime(), text = text }
          return udp:sendto(text, host, port)
        end,
        close = function() return udp:close() end,
      }
    end,
  }, { __index = socket })
  package.loaded.socket = exportSocket

  local lfs = { writedir = function() return options.writedir end }
  _G.lfs = lfs
  package.loaded.lfs = lfs
  _G.log = {
    ERROR = 2, INFO = 4,
    write = function(subsystem, level, message)
      game.logLines[#game.logLines + 1] = subsystem .. " " .. level .. " " .. message
    end,
  }
  _G.LoGetModelTime = function() return game.time end
  _G.LoGetSelfData = function()
    return game.aircraft and { Name = game.aircraft } or nil
  end
  local methods = {}
  function methods:get_frequency()
    game.reads = game.reads + 1
    if self.state.fail then error("device failure") end
    return self.state.hz
  end
  local function isOn(self) return self.state.on end
  _G.GetDevice = function(id)
    local state = game.devices[id]
    if not state then return nil end
    local device = setmetatable({ state = state }, { __index = methods })
    if state.on ~= nil then device.is_on = isOn end
    return device
  end

  function game:load()
    return dofile(options.writedir .. "Scripts/ZOVIK/ZovikExport.lua")
  end

  function game:start()
    if LuaExportStart then LuaExportStart() end
    self.nextEvent = self.time
  end

  -- One simulation frame of `dt` seconds of model time.
  function game:frame(dt)
    if LuaExportBeforeNextFrame then LuaExportBeforeNextFrame() end
    self.time = self.time + dt
    if LuaExportAfterNextFrame then LuaExportAfterNextFrame() end
    if self.nextEvent and self.time >= self.nextEvent and LuaExportActivityNextEvent then
      local wanted = LuaExportActivityNextEvent(self.time)
      -- A time not after now ends these calls, as in the game.
      self.nextEvent = type(wanted) == "number" and wanted > self.time and wanted or nil
    end
  end

  function game:run(seconds, dt)
    dt = dt or 1 / 60
    local stop = self.time + seconds - dt / 2
    while self.time < stop do
      self:frame(dt)
    end
  end

  function game:stop()
    if LuaExportStop then LuaExportStop() end
    self.nextEvent = nil
  end

  -- The log lines that contain `text`.
  function game:logged(text)
    local found = {}
    for _, line in ipairs(self.logLines) do
      if line:find(text, 1, true) then found[#found + 1] = line end
    end
    return found
  end

  return game
end

-- A receiving UDP socket on an ephemeral loopback port; take() returns every
-- datagram that arrived so far. A marker sent from another socket tells when
-- the queue is empty, so no fixed wait is needed.
function M.receiver()
  local udp = assert(socket.udp())
  assert(udp:setsockname("127.0.0.1", 0))
  local _, port = udp:getsockname()
  local marker = assert(socket.udp())
  local r = { port = port }
  function r:take()
    assert(marker:sendto("marker", "127.0.0.1", port))
    udp:settimeout(5)
    local got = {}
    while true do
      local data, err = udp:receive()
      assert(data, "receive: " .. tostring(err))
      if data == "marker" then return got end
      got[#got + 1] = data
    end
  end
  -- Drops what is queued without the marker, which a full queue would lose.
  function r:discard()
    udp:settimeout(0)
    while udp:receive() do end
  end
  function r:close()
    udp:close()
    marker:close()
  end
  return r
end

return M
