// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace quenlora {

// windows-1250, the ANSI code page of Czech Windows. Stands for the ANSI code
// page where the system has none, so that list files move between machines unchanged.
char16_t DecodeCp1250(unsigned char byte);
// False when the character has no byte in the code page.
bool EncodeCp1250(char16_t c, unsigned char& byte);

}  // namespace quenlora
