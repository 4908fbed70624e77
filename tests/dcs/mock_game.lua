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

-- A Saved Games folder in a temporary directory holding every script of
-- `scriptsDir` (dcs/Scripts/ZOVIK of the repository) and, unless `config`
-- is false, a ZovikConfig.lua: the given text, or the shipped one.
function M.writedir(scriptsDir, config)
  local root = os.tmpname()
  os.remove(root)
  local dir = root .. "/Scripts/ZOVIK/"
  assert(os.execute("mkdir -p '" .. dir .. "'") == 0)
  local listing = assert(io.popen("ls '" .. scriptsDir .. "'"))
  for name in listing:lines() do
    local text = assert(io.open(scriptsDir .. "/" .. name, "rb")):read("*a")
    if name == "ZovikConfig.lua" and config ~= nil then
      text = config
    end
    if text then
      local out = assert(io.open(dir .. name, "wb"))
      out:write(text)
      out:close()
    end
  end
  listing:close()
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
    -- The cockpit of the aircraft flown: id -> { hz = number, on = bool or
    -- nil (no is_on), fail = bool, reads = get_frequency calls }.
    devices = {},
    reads = 0, -- get_frequency calls
    selfDataFails = false, -- LoGetSelfData raises
    getDeviceFails = false, -- GetDevice raises
    hosts = {}, -- name -> the address socket.dns.toip finds, or false: not found
    lookups = 0, -- socket.dns.toip calls
    sendFails = false, -- sendto answers an error (network down) and sends nothing
    clockReads = 0, -- LoGetModelTime calls
    logLines = {},
    sends = {}, -- { time = model time, wall = socket.gettime(), text = datagram, host = address }
    nextEvent = nil,
  }

  local exportSocket = setmetatable({
    udp = function()
      local udp, err = socket.udp()
      if not udp then return nil, err end
      return {
        settimeout = function(_, ...) return udp:settimeout(...) end,
        sendto = function(_, text, host, port)
          if game.sendFails then return nil, "network is unreachable" end
          game.sends[#game.sends + 1] =
            { time = game.time, wall = socket.gettime(), text = text, host = host }
          return udp:sendto(text, host, port)
        end,
        close = function() return udp:close() end,
      }
    end,
    dns = setmetatable({
      toip = function(host)
        game.lookups = game.lookups + 1
        local known = game.hosts[host]
        if known == nil then return socket.dns.toip(host) end
        if known then return known end
        return nil, "host not found"
      end,
    }, { __index = socket.dns }),
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
  _G.LoGetModelTime = function()
    game.clockReads = game.clockReads + 1
    return game.time
  end
  _G.LoGetSelfData = function()
    if game.selfDataFails then error("LoGetSelfData unavailable") end
    return game.aircraft and { Name = game.aircraft } or nil
  end
  local methods = {}
  function methods:get_frequency()
    game.reads = game.reads + 1
    self.state.reads = (self.state.reads or 0) + 1
    if self.state.fail then error("device failure") end
    return self.state.hz
  end
  local function isOn(self) return self.state.on end
  _G.GetDevice = function(id)
    if game.getDeviceFails then error("GetDevice unavailable") end
    local state = game.devices[id]
    if not state then return nil end
    local device = setmetatable({ state = state }, { __index = methods })
    if state.on ~= nil then device.is_on = isOn end
    return device
  end

  -- The crew: the SEAT cockpit parameter (nil: the module publishes none),
  -- how the game offers it (game:offerSeat), and the main panel's (device
  -- 0) arguments: arg -> value, 0 when unset.
  game.seat, game.arguments, game.argumentReads = nil, {}, 0
  local panel = {
    get_argument_value = function(_, arg)
      game.argumentReads = game.argumentReads + 1
      return game.arguments[arg] or 0
    end,
  }
  local deviceOf = _G.GetDevice
  _G.GetDevice = function(id)
    if id == 0 and not game.getDeviceFails then return panel end
    return deviceOf(id)
  end
  -- The displays' text, as list_indication(n) returns it: n -> text, ""
  -- when unset; indicationFails makes the call raise.
  game.indications, game.indicationReads, game.indicationFails = {}, 0, false
  _G.list_indication = function(n)
    game.indicationReads = game.indicationReads + 1
    if game.indicationFails then error("list_indication unavailable") end
    return game.indications[n] or ""
  end
  local seatHandle = {
    get = function()
      if game.seat == nil then return "" end
      return game.seat
    end,
  }
  -- how: "handle" (get_param_handle), "list" (list_cockpit_params), "both"
  -- or "none".
  function game:offerSeat(how)
    _G.get_param_handle = (how == "handle" or how == "both") and function(name)
      return name == "SEAT" and seatHandle or nil
    end or nil
    _G.list_cockpit_params = (how == "list" or how == "both") and function()
      return "EJECT_SEAT:7\nHumanInfo:SEAT:5\nCDU_PAGE:\"EGI1\"\n"
        .. (game.seat and "SEAT:" .. game.seat .. ".000000\n" or "")
        .. "BASE_SENSOR_RADALT:0.000000\n"
    end or nil
  end
  game:offerSeat("both")

  function game:load()
    return dofile(options.writedir .. "Scripts/ZOVIK/ZovikExport.lua")
  end

  -- The pilot takes another seat: the aircraft and its cockpit change at once.
  function game:board(aircraft, devices)
    self.aircraft, self.devices = aircraft, devices or {}
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

  -- Frames until the script sends a datagram; its model time after `since`
  -- (nil when none comes within `limit` seconds).
  function game:untilSent(since, limit)
    local count = #self.sends
    while #self.sends == count and self.time < since + limit do
      self:frame(1 / 60)
    end
    return #self.sends > count and self.sends[count + 1].time - since or nil
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

-- Another export tool, installed before ZOVIK loads: counts each callback
-- and notes the model time of each activity call. Its activity asks to run
-- again `period` s later (nil: it ends its calls); `failing` makes its
-- frame callback raise.
function M.neighbour(period, failing)
  local calls = { start = 0, before = 0, after = 0, event = 0, stop = 0, times = {} }
  LuaExportStart = function() calls.start = calls.start + 1 end
  LuaExportBeforeNextFrame = function() calls.before = calls.before + 1 end
  LuaExportAfterNextFrame = function()
    calls.after = calls.after + 1
    if failing then error("neighbour broke") end
  end
  LuaExportActivityNextEvent = function(t)
    calls.event = calls.event + 1
    calls.times[#calls.times + 1] = t
    return period and t + period
  end
  LuaExportStop = function() calls.stop = calls.stop + 1 end
  return calls
end

-- Other export tools that replace ZOVIK's callbacks without chaining them:
-- plainly, as `function LuaExportStart() ... end` does, or only inside their
-- own start. Each counts its frame and start calls.
function M.plainNeighbour(calls)
  calls = calls or { start = 0, after = 0 }
  LuaExportStart = function() calls.start = calls.start + 1 end
  LuaExportAfterNextFrame = function() calls.after = calls.after + 1 end
  return calls
end
function M.lateNeighbour(calls)
  calls = calls or { start = 0, after = 0 }
  LuaExportStart = function()
    calls.start = calls.start + 1
    M.plainNeighbour(calls)
  end
  return calls
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
