-- Where the datagrams go: ZovikConfig.lua's host as the address the socket
-- sends to. A name is looked up once; one that is not found (the network or
-- a VPN not up yet) is looked up again at most every RETRY_SECONDS of model
-- time, since a look-up may hold the frame while the resolver waits.
local M = {}

M.RETRY_SECONDS = 10

local Address = {}
Address.__index = Address

-- resolve(host) answers as LuaSocket's socket.dns.toip; say(level, message)
-- writes a line to the game's log.
function M.new(host, resolve, say)
  return setmetatable({ host = host, resolve = resolve, say = say, nextTry = -math.huge },
    Address)
end

-- The address at model time `now`, or nil while the host is not found.
function Address:get(now)
  if self.address or now < self.nextTry then
    return self.address
  end
  self.nextTry = now + M.RETRY_SECONDS
  local ok, address, err = pcall(self.resolve, self.host)
  if ok and type(address) == "string" then
    self.address = address
    if self.missing then
      self.say("INFO", "host " .. self.host .. " of ZovikConfig.lua found at " .. address)
    end
  elseif not self.missing then
    self.missing = true
    self.say("ERROR", "cannot find host " .. self.host .. " of ZovikConfig.lua ("
      .. tostring(ok and err or address) .. "): nothing sent; looking again every "
      .. M.RETRY_SECONDS .. " s")
  end
  return self.address
end

return M
