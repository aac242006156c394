// The nine settings read at the first frame, and the numbered trace log.
#pragma once

extern int LogLevel;             // setting: trace-log level gates (setting)
extern char strLinkFile[100];    // setting: path of the scene link file (setting)
extern float MoveStep;           // setting: glider travel per frame (setting)
extern float TurnStep;           // setting: yaw and pitch change per frame (setting)
extern float GroundClearance;    // setting: least height above the terrain (setting)
extern float CameraDistance;     // setting: eye distance behind the glider (setting)
extern float CameraYawStep;      // setting: chase-camera yaw lag step (setting)
extern float CameraPitchStep;    // setting: chase-camera pitch lag step (setting)
extern float GridDivisions;      // setting: face-grid cells along each axis (setting)
extern int CountLogLine;         // number of the next trace line of this run (log)

void LoadSetting();
void WriteLog(const char* message, float value);
