// What a process holds right now, counted by the operating system: threads
// and open descriptors (Linux) or handles (Windows). Used to show that a
// load/start/stop/unload cycle leaves nothing behind.
#pragma once

// Threads of this process.
int CountOwnThreads();
// Open file descriptors (Linux) or kernel handles (Windows) of this process.
int CountOwnHandles();
