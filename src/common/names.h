#pragma once

namespace quorlane {
// The names the programs and their input files go by, said once.

// The program's name: the main window's title, reports and the software
// that wrote a picture file.
constexpr char kProgramName[] = "Quorlane";
// The commands that start the viewer and the exporter (their usage texts).
constexpr char kViewerCommand[] = "quorlane";
constexpr char kExporterCommand[] = "quorlane-export";
// The two input files of a folder or of the working directory.
constexpr char kGridFileName[] = "quorlane.dat";
constexpr char kSettingsFileName[] = "quorlane.ini";

}  // namespace quorlane
