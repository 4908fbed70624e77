// The line that makes the game load ZOVIK from the pilot's Scripts\Export.lua:
// found, added and removed in the file's bytes. No file is touched here; the
// bytes of every other line stay as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What the game runs to load our entry script. The pcall keeps an error in
// our scripts from stopping the other tools' lines.
inline constexpr std::string_view kZovikExportLine =
    "pcall(function() local zovikLfs=require('lfs'); "
    "dofile(zovikLfs.writedir()..[[Scripts\\ZOVIK\\ZovikExport.lua]]); end, nil)";

// The file as the pilot knows it, in every message.
inline constexpr std::string_view kExportShown = "Scripts\\Export.lua";

// True when `line` (without its line end, from where its code starts) loads
// our entry script: one dofile call, not commented out, of
// Scripts\ZOVIK\ZovikExport.lua in any case and with either slash. A line that
// also loads something else is another tool's.
bool IsZovikExportLine(std::string_view line);

// True for a file saved as UTF-16 (or UTF-32): a byte order mark FF FE or
// FE FF, or a NUL among its first bytes. The game's Lua cannot read it.
bool IsUtf16(std::string_view bytes);

struct ExportScriptEdit {
  std::string bytes;          // the whole new file
  int zovikLinesFound = 0;    // ZOVIK lines in the file given that the game runs
  int zovikLinesRemoved = 0;  // repeated ones, and ones after the final return
  bool added = false;         // our line was added
  size_t returnLine = 0;      // when added just before the file's final return:
                              // that return's line (from 1) in the new file
  size_t movedBelow = 0;      // when ours was moved below another tool's definition
                              // of an export callback: that definition's first line
                              // (from 1) in the new file
  std::string refusal;        // why the file cannot be edited; `bytes` is then empty
};

// The file with exactly one ZOVIK line where the game runs it: the first one
// found is kept, the others dropped. When there is none, ours goes on a line
// of its own, ended as the file ends its lines (CR LF for a file without
// any): at the end, after a line end of its own when the file's last line
// has none (so that removing it gives the file back); or just before a final
// top-level `return`, after which nothing runs. `current` is empty for a
// missing file.
ExportScriptEdit WithOneZovikLine(std::string_view current);

// The file without any ZOVIK line: each goes with its line end, or with the
// line end before it when it was the last line and had none.
ExportScriptEdit WithoutZovikLines(std::string_view current);
