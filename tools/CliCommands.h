// The sub-commands of kirvane-cli, one file each. Each takes the arguments after its name and
// returns the process exit status.
#pragma once

int RunList(int argc, char** argv);    // CliList.cpp
int RunCheck(int argc, char** argv);   // CliCheck.cpp
int RunDecode(int argc, char** argv);  // CliDecode.cpp
int RunRender(int argc, char** argv);  // CliRender.cpp
