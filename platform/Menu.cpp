#include "platform/Menu.h"

const std::string& Menu::Caption() const {
    return caption_;
}
