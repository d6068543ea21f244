#include "app/cli.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  platform::TuneMemory(argv);
  return app::Main(argc, argv);
}
