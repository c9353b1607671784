#pragma once
// The subcommands of tallyglass-cli; each returns the process exit status.
namespace tallyglass::cli {
int RunEmulate(int argc, char** argv);
int RunRender(int argc, char** argv);
int RunFetch(int argc, char** argv);
int RunLookup(int argc, char** argv);
int RunExport(int argc, char** argv);
int RunReconcile(int argc, char** argv);
int RunDetect(int argc, char** argv);
int RunArchive(int argc, char** argv);
}  // namespace tallyglass::cli
