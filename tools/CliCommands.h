// The sub-commands of kirvane-cli, one file each. Each takes the arguments after its name and
// returns the process exit status.
#pragma once

int RunList(int argc, char** argv);    // CliList.cpp
int RunCheck(int argc, char** argv);   // CliCheck.cpp
int RunDecode(int argc, char** argv);  // CliDecode.cpp
int RunRender(int argc, char** argv);  // CliRender.cpp
int RunCopy(int argc, char** argv);    // CliFileOps.cpp
int RunMove(int argc, char** argv);    // CliFileOps.cpp
int RunTrash(int argc, char** argv);   // CliFileOps.cpp
int RunDelete(int argc, char** argv);  // CliFileOps.cpp
