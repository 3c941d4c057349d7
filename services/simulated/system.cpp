// This machine: its environment and its system folder.

#include "services/simulated/network_state.h"

namespace quorvin::network {

std::string System::SystemDirectory() { return state_.SystemRootOf(state_.config.localComputer) + "\\System32"; }

std::string System::ExpandEnvironmentStrings(const std::string& text) {
    const int local = state_.config.localComputer;
    Environment environment;
    if (local >= 0) environment = state_.config.computers[static_cast<std::size_t>(local)].environment;
    const std::string root = state_.SystemRootOf(local);
    const std::string systemDrive = root.size() >= 2 && root[1] == ':' ? root.substr(0, 2) : "C:";
    environment.emplace_back("SystemRoot", root);
    environment.emplace_back("windir", root);
    environment.emplace_back("SystemDrive", systemDrive);
    environment.emplace_back("ProgramFiles", systemDrive + "\\Program Files");
    environment.emplace_back("CommonProgramFiles", systemDrive + "\\Program Files\\Common Files");
    environment.emplace_back("ComSpec", root + "\\system32\\cmd.exe");
    environment.emplace_back("OS", "Windows_NT");
    if (local >= 0) environment.emplace_back("COMPUTERNAME", UpperAscii(state_.config.computers[static_cast<std::size_t>(local)].name));
    return ExpandEnvironment(CString(text), environment);
}

}  // namespace quorvin::network
