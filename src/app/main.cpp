#include "app/mditbl.h"
#include "app/options.h"
#include "link/qtserialio.h"
#include "resources/bitmaps.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ORVEX"));
    QApplication::setApplicationVersion(QStringLiteral("1.21E"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(AppIconBitmap(size));
    QApplication::setWindowIcon(icon);

    const Options options = ParseOptions(QApplication::arguments());
    if (!options.error.isEmpty()) {
        QMessageBox::critical(nullptr, QStringLiteral("ORVEX"), options.error);
        return 2;
    }
    PortMap map;
    for (const auto &[number, device] : options.ports) map.setExplicit(number, device);
    QtSerialIo port(map, options.parity);

    MDItbl window(port, [&port] { return port.portMap().list(); });
    window.show();
    return QApplication::exec();
}
