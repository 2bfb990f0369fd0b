// Images of the toolbar commands and of the program.
#pragma once

#include <QIcon>

namespace zorbel {

// The image of a toolbar command; a null icon for other commands.
QIcon CommandIcon(int command);
QIcon ProgramIcon();

}  // namespace zorbel
