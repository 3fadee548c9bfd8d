#include "app/tessavinor_app.h"

int main(int argc, char** argv) {
  tessa::TessavinorApp app(argc, argv);
  return app.run();
}
