#pragma once
#include <memory>

namespace zra::link {
class TFext;
}
namespace zra::access {
class TFprihlaseni;
}
namespace zra::views {
class TFmoduly;
class TFfaze;
class TFdcgroup;
class TFacgroup;
class TFmodul_akce;
} // namespace zra::views
namespace zra::config {
class TFkonfig;
class TFnastaveni;
} // namespace zra::config
namespace zra::log {
class TFlog;
}

namespace zra::main {

class TFmain;

// Every window of the program, created once at start-up in a fixed order (the
// main window first) and living until the end of the run.
struct Windows {
    Windows();
    ~Windows();
    std::unique_ptr<TFmain> Fmain;
    std::unique_ptr<views::TFmoduly> Fmoduly;
    std::unique_ptr<views::TFfaze> Ffaze;
    std::unique_ptr<views::TFdcgroup> Fdcgroup;
    std::unique_ptr<views::TFacgroup> Facgroup;
    std::unique_ptr<config::TFkonfig> Fkonfig;
    std::unique_ptr<log::TFlog> Flog;
    std::unique_ptr<config::TFnastaveni> Fnastaveni;
    std::unique_ptr<views::TFmodul_akce> Fmodul_akce;
    std::unique_ptr<access::TFprihlaseni> Fprihlaseni;
    std::unique_ptr<link::TFext> Fext;
};

} // namespace zra::main
