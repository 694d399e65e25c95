#include <QCoreApplication>

#include <gtest/gtest.h>

// Shared main of the tag tests: a core application, so locale and text codecs behave as in
// the program.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
