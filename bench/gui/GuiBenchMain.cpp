// Entry point of the window benchmarks: a QApplication on the offscreen platform (unless
// another is asked for), then Google Benchmark. BM_Memcpy of bench_memcpy.cpp is linked
// in, so figures can be read as ratios to it from the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
