// Run-time failures of the window's code are the forms runtime's: a number and a description.
#pragma once

#include "forms/runtime_error.h"

namespace network {

using forms::kErrDiskFull;
using forms::kErrFileNotFound;
using forms::kErrInvalidFileFormat;
using forms::kErrOverflow;
using forms::kErrPathFileAccess;
using forms::kErrPathNotFound;
using forms::kErrPermissionDenied;
using forms::kErrTypeMismatch;
using forms::RuntimeError;

}  // namespace network
