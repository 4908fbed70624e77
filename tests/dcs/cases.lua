-- The runner the game-side tests share: each case in a pcall, in order, one
-- line per case, and the exit status as the verdict.
local M = {}
local cases = {}

function M.eq(actual, expected, what)
  if actual ~= expected then
    error(string.format("%s: got %s, expected %s", what, tostring(actual), tostring(expected)), 2)
  end
end

function M.case(name, body) cases[#cases + 1] = { name = name, body = body } end

function M.run()
  local failed = 0
  for _, c in ipairs(cases) do
    local ok, err = pcall(c.body)
    print((ok and "ok     " or "FAILED ") .. c.name .. (ok and "" or ": " .. tostring(err)))
    if not ok then failed = failed + 1 end
  end
  print(#cases - failed .. " of " .. #cases .. " passed")
  os.exit(failed == 0 and 0 or 1)
end

return M
