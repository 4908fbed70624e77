-- The datagram rule: a radio's reading in hertz becomes the text the voice
-- client's plugin takes, or nil when nothing may be sent.
local M = {}

-- The plugin names channels for 30.001 to 399.999 MHz only; below that lie
-- HF and low-band FM sets, which have no channel to move to.
M.LOWEST_KHZ = 30001
M.HIGHEST_KHZ = 399999

-- hz: what get_frequency() answered. Modules answer with float noise
-- (251000192, 127524999.6) and sometimes NaN, so the value is rounded to the
-- nearest kHz, or, for a radio with a fixed channel spacing (spacingKHz), to
-- the nearest channel of that spacing. Returns the kHz as decimal digits.
function M.datagram(hz, spacingKHz)
  if type(hz) ~= "number" or hz ~= hz or hz == math.huge or hz == -math.huge then
    return nil
  end
  local step = 1000 * (spacingKHz or 1)
  local khz = math.floor(hz / step + 0.5) * (spacingKHz or 1)
  if khz < M.LOWEST_KHZ or khz > M.HIGHEST_KHZ then
    return nil
  end
  return string.format("%d", khz)
end

return M
