// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Carries the program's version resource and manifest for the tests to read;
// it is never run.
int main() { return 0; }
