// Definitions of the shared globals, with their values before main runs.
#include "globals.h"

int iscrWidth = 0;
int iscrHeight = 0;
int ZeroLine = 0;
double multiplier = 1.0;
double scaleExtreme = 0.0;

int iFc = 0;
int isFp = 1;
int ieFp = 0;
double value = 0.0;

int sampleRecordsFd = -1;
int timeRecordsFd = -1;

std::string cType;
