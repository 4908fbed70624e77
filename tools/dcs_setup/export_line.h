// The line that makes the game load ZOVIK from the pilot's Scripts\Export.lua:
// found, added and removed in the file's bytes. No file is touched here; the
// bytes of every other line stay as they are.
#pragma once

#include <string>
#include <string_view>

// What the game runs to load our entry script. The pcall keeps an error in
// our scripts from stopping the other tools' lines.
inline constexpr std::string_view kZovikExportLine =
    "pcall(function() local zovikLfs=require('lfs'); "
    "dofile(zovikLfs.writedir()..[[Scripts\\ZOVIK\\ZovikExport.lua]]); end, nil)";

// True when `line` (without its line end) loads our entry script: one dofile
// call, not commented out, of Scripts\ZOVIK\ZovikExport.lua in any case and
// with either slash. A line that also loads something else is another tool's.
bool IsZovikExportLine(std::string_view line);

struct ExportScriptEdit {
  std::string bytes;        // the whole new file
  int zovikLinesFound = 0;  // ZOVIK lines in the file given
};

// The file with exactly one ZOVIK line: the first one found is kept, the
// others dropped; when there is none, ours is appended on a line of its own,
// ended as the file ends its lines (CR LF for a file without any).
// `current` is empty for a missing file.
ExportScriptEdit WithOneZovikLine(std::string_view current);

// The file without any ZOVIK line.
ExportScriptEdit WithoutZovikLines(std::string_view current);
