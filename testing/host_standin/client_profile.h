// The client version the stand-in plays, and what that client does with a
// plugin: which plugin API versions it loads, how long the function table it
// hands over is, and whether it hands out a plugin ID (and so wants it back
// in getPluginPath).
#pragma once

#include <cstddef>
#include <string>

struct ProgramVersion;

struct ClientProfile {
  std::string version;  // "3.5.6.0", or "none" for a program without a version
  int minimumApi;
  int currentApi;
  size_t tableSlots;

  bool Accepts(int api) const { return api >= minimumApi && api <= currentApi; }
  // Clients from 3.1 on (API 21 and later) register an ID and ask for it.
  bool UsesPluginID() const { return minimumApi >= 21; }
  // The client's own refusal text, as users reported it.
  std::string Refusal(int api) const;
};

// What a client of `version` accepts; null: a program without a version,
// which plays the newest client (or, in the build that always answers API
// 20, a 3.0.19 client: the only kind that loads it).
ClientProfile ClientProfileFor(const ProgramVersion* version);

// The profile of this very program: on Windows from its own version resource.
const ClientProfile& StandInClient();
