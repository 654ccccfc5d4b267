#pragma once

// Points standard input, output and error at /dev/null where they are
// closed, so that no descriptor opened later takes their numbers: a log
// written into an event counter, a child handed one as its error output.
// Call it first thing, before anything else is opened. False when a closed
// one could not be given /dev/null.
bool OpenMissingStandardDescriptors();
