-- Where the datagrams go: ZovikConfig.lua's host as the address the socket
-- sends to. A look-up may hold the game while the resolver waits, so a name
-- is looked up once a mission, at its start; one that is not found (the
-- network or a VPN not up yet) leaves the default address for that mission.
local M = {}

M.DEFAULT = "127.0.0.1"

local Address = {}
Address.__index = Address

-- resolve(host) answers as LuaSocket's socket.dns.toip; say(level, message)
-- writes a line to the game's log.
function M.new(host, resolve, say)
  return setmetatable({ host = host, resolve = resolve, say = say }, Address)
end

-- The address to send to. The first call looks the host up; the others
-- answer what it found.
function Address:get()
  if self.address then
    return self.address
  end
  local ok, address, err = pcall(self.resolve, self.host)
  if ok and type(address) == "string" then
    self.address = address
  else
    self.address = M.DEFAULT
    self.say("ERROR", "cannot find host " .. self.host .. " of ZovikConfig.lua ("
      .. tostring(ok and err or address) .. "): sending to " .. M.DEFAULT
      .. " until the next mission")
  end
  return self.address
end

return M
