#pragma once

namespace patchpav {

// Makes the engine ask for the user name and password with the login dialog whenever a
// connection's alias holds a user name.
void InstallLoginPrompt();

}  // namespace patchpav
