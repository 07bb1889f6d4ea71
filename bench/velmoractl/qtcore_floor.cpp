// The floor under any program on Qt Core: loading and relocating the library and its dependencies,
// one QString, nothing else. The one-shot benchmark sets it against v4l2-ctl beside velmoractl.
#include <QString>

int main(int argc, char**)
{
    return QString::number(argc).size() == 1 ? 0 : 1;
}
