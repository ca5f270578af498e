#pragma once
// Parameters of every kind a catalogue has, for the benchmarks' large devices.
#include <string>

namespace tornu::bench {

inline const char* const kParamKinds[] = {
    "VTYPE=N;DTYPE=IO;DEFLT=30",
    "VTYPE=N;DTYPE=IO;DEFLT=180;IEXPR=VAL/60;OEXPR=VAL*60",
    "VTYPE=L;DTYPE=IO;DEFLT=0;LIST=Выкл,Вкл,Авто",
    "VTYPE=B;DTYPE=IO;DEFLT=0",
    "VTYPE=F2;DTYPE=I;DEFLT=0;IEXPR=VAL/100",
    "VTYPE=F1;DTYPE=IO;DEFLT=110;IEXPR=VAL/10;OEXPR=VAL*10",
    "VTYPE=S;DTYPE=IO;DEFLT=Объект",
    "VTYPE=S;DTYPE=I",
};

// "P0,P1,...": the names of the first `count` parameters.
inline std::string ParamList(int count) {
    std::string list;
    for (int i = 0; i < count; ++i)
        list += (i ? ",P" : "P") + std::to_string(i);
    return list;
}

} // namespace tornu::bench
