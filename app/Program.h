// The program: one instance per user at a time, the application object with its
// three forms, and the message loop until Exit or the end of the session.
#pragma once

// The name whose existence tells that the program runs.
inline constexpr char kInstanceMutexName[] = "LarkspoolSingleInstance";
// Shown by a second start, which then ends.
inline constexpr char kAlreadyRunning[] =
    "Larkspool is already running. To open the program, right click the Larkspool  icon in "
    "the icon tray and select Show.";

// Runs the program; answers its exit code, 0 in every case.
int RunProgram();
