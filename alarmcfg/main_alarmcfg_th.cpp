#include "app/program.h"

int main(int argc, char **argv)
{
    return alarmcfg::runProgram(argc, argv, alarmcfg::temperatureHumidityEdition());
}
