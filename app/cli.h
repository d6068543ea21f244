// The command line:
//   vekconv convert [--drive-c DIR] [-C DIR] [--yes|--no]
//   vekconv [--drive-c DIR] [-C DIR]          (the conversion dialog)
//   vekconv --help | --version
#pragma once

namespace app {

int Main(int argc, char** argv);

}  // namespace app
