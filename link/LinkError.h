#pragma once
#include <QString>
#include <stdexcept>

namespace zra::link {

// An error that ends the running command and is shown by the top-level error
// handler: a failed send, a failed management receive.
class LinkError : public std::runtime_error {
public:
    explicit LinkError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

} // namespace zra::link
