// Front-end hooks shared by the command-line tools: error boxes are printed
// to standard error with the system's own text, the beep is silent, and
// progress is drawn on a terminal unless the tool asks for quiet.
#pragma once

#include <string>

// Installs the error, beep and progress hooks for the rest of the run.
void InstallCliHooks(bool quiet);

// Number of error boxes shown since InstallCliHooks.
int CliErrorCount();

// Prints "<program>: <text>" to standard error (the tool's own messages,
// as opposed to those of the core).
void CliMessage(const std::string& program, const std::string& text);

// A tool's main: run(argc, argv), with an exception that escapes it
// printed as the tool's message and ending the run with status 1.
int RunCliTool(const std::string& program, int (*run)(int, char**), int argc, char** argv);
