// What the browser backend offers its program beyond the platform's services.
#pragma once

namespace plat::web {

// The program has ended with this status: the page says so in place of the
// picture (a canvas left as it was would look frozen).
void Stopped(int status);

}  // namespace plat::web
