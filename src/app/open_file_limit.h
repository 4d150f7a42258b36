#pragma once

namespace oz::app {

// Raises the process's soft limit on open files to its hard limit. A run in rounds keeps a
// connection open to every site between rounds, and a thousand sites pass the usual soft limit
// of 1,024. Returns the soft limit in force afterwards (-1 where the system has no such limit).
long raiseOpenFileLimit();

}  // namespace oz::app
