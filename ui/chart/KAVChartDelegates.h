#pragma once

// What the chart tells its owner. The chart holds both delegates weakly: a
// delegate that has gone away is simply not called.

// A chart-type button was tapped, or a period button (which leaves the type
// as it was): the chart type now in force (1 minute line, 2 K-line).
class ChartSelectDelegate {
  public:
    virtual ~ChartSelectDelegate() = default;
    virtual void onChartTypeSelect(int chartType) = 0;
};

// A period button was tapped: its tag, 30001 ("M1") to 30004 ("D1"). The
// owner asks for the bars of that period and hands them to the chart.
class PeriodSelectDelegate {
  public:
    virtual ~PeriodSelectDelegate() = default;
    virtual void onPeriodTypeSelect(int tag) = 0;
};
