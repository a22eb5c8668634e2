#pragma once
#include <filesystem>
#include <string>

// Why a device could not be opened, and what to do about it, in a line or two for the
// "Can't open" box. `error` is the errno of the failed call; EBUSY stands for "in use".
std::string DescribeOpenFailure(const std::string& device, int error);
// The program holding `device` open, as "name, PID n", when this user may see it; else empty.
// `proc` is /proc on a real machine.
std::string ProgramHolding(const std::string& device, const std::filesystem::path& proc = "/proc");
