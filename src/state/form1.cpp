#include "state/form1.h"

#include <utility>

namespace kelvane {

Form1::Form1(Services& services, std::string folder, std::string exe)
    : sys(services), program_folder(std::move(folder)), exe_name(std::move(exe)) {}

}  // namespace kelvane
