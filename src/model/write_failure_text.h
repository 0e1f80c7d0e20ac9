#pragma once

#include <string>

// Why a file could not be written, in the user's words, from the system's reason (an errno
// value; 0 when none is known): "磁盘已满", "没有写入权限", ...
std::string WriteFailureReason(int errorNumber);
