#pragma once
// Sub-commands of tessavinorctl. Each takes the arguments from the command
// name on (argv[0] is the command) and returns the process exit status.

// tessavinorctl expand AFF DIC: the expanded word forms, one per line.
int runExpandCommand(int argc, char** argv);

// tessavinorctl simulate [--desktop sim|x11] SCENARIO.json: the engine on the
// simulated desktop under a manual clock, or with `--desktop x11` on a private
// X server on the real clock; prints the JSON transcript.
int runSimulateCommand(int argc, char** argv);

// tessavinorctl fatfinger LANG WORD: the fat-finger candidates in order, one
// per line (candidate, position, replaced character, neighbour).
int runFatFingerCommand(int argc, char** argv);
