#pragma once
#include <memory>

namespace zra::link {
class TFext;
}
namespace zra::access {
class TFprihlaseni;
}

namespace zra::main {

class TFmain;

// Every window of the program, created once at start-up, in a fixed order
// (the main window first), and living until the end of the run.
struct Windows {
    Windows();
    ~Windows();
    std::unique_ptr<TFmain> Fmain;
    std::unique_ptr<access::TFprihlaseni> Fprihlaseni;
    std::unique_ptr<link::TFext> Fext;
};

} // namespace zra::main
