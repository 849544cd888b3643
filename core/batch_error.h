// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace quenlora {

// A failure the user is told about: its message is shown as it stands.
class TBatchError : public std::exception {
public:
  explicit TBatchError(std::u16string message);

  const std::u16string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

private:
  std::u16string message_;
  std::string utf8_;
};

// The operating system's reason without trailing blanks, line breaks and periods.
std::u16string CleanReason(std::u16string_view reason);

// "Cannot open file "<path>". <reason>"
TBatchError CannotOpenFile(std::u16string_view path, std::u16string_view reason);
// "Cannot create file "<path>". <reason>"
TBatchError CannotCreateFile(std::u16string_view path, std::u16string_view reason);
// "Stream write error"
TBatchError StreamWriteError();

}  // namespace quenlora
