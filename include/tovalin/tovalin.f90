! tovalin: hydrologic channel routing, the Fortran interface of the native library.
!
!   use tovalin
!   call RouteMuskingum(60, 1.0d0, 0.2d0, 1, initial, final, 5, inflows, outflows, status, message)
!
! Each of the eleven routines of the library is a module procedure of the same name that takes
! its arguments the natural Fortran way: integers of kind c_int (default integer), reals of
! kind c_double (double precision), the logical of the Muskingum-Cunge routines as a logical,
! and each text as a character variable of any length. The procedures pass the text lengths
! to the library and call its C-callable adapters (declared in tovalin/tovalin.h) by their
! exact names, so the mixed-case adapters are reached as well.
!
! Units: flows m3/s, lengths and elevations m, areas m2, storages and volumes m3, Manning's n
! s/m**(1/3), slopes m/m. Hydrograph intervals are whole minutes, Muskingum K is in hours, the
! Muskingum-Cunge computation interval comes back in seconds, its time of peak in minutes.
! Hydrograph ordinate i (from 1) lies at (i - 1) * intervalMinutes.
!
! Status and message: status is 0 when nothing was reported, otherwise it packs the routine
! number, the message number (1 to 10 warnings, 11 and up errors) and the severity (2 warning,
! 4 error); DecodeErrorCode unpacks it. The message is a blank-padded field of the caller's
! length; a routine that reports nothing leaves it as passed, one that reports writes it
! whole, several lines separated by achar(10). The library never writes past len(message).
!
! A result that could not be computed holds the undefined value tovalin_undefined (about
! -1.0e38); test with tovalin_is_undefined, which is also true for a NaN.
!
! The library keeps no state between calls and may be called from many threads at once.
! Build: compile this file with your program (gfortran tovalin.f90 app.f90 -ltovalin), or use
! the installed module and library (CMake: find_package(tovalin), link tovalin::fortran).
module tovalin
  use, intrinsic :: iso_c_binding, only: c_int, c_int64_t, c_double, c_float, c_char
  use, intrinsic :: ieee_arithmetic, only: ieee_is_nan
  implicit none
  private

  public :: RouteMuskingum, RoutePulsChannel, RoutePulsChannelWithLoss
  public :: RouteMuskingumCunge8Point, RouteMuskingumCungePrism
  public :: ChannelDepthPrism, ChannelDepth8Point, ChannelDepthCircle
  public :: InterpolateLinear, DecodeErrorCode, ChangeTimeInterval
  public :: tovalin_undefined, tovalin_is_undefined

  !> The undefined value: the single-precision -1.0e38 widened to double, bits C7D2CED320000000.
  real(c_double), parameter :: tovalin_undefined = real(-1.0e38_c_float, c_double)
  integer(c_int64_t), parameter :: undefined_bits = transfer(tovalin_undefined, 0_c_int64_t)

  ! The adapters of the library, every argument by reference and the text lengths by value
  ! after the last argument.
  interface
    subroutine c_routemuskingum(intervalMinutes, muskingumK, muskingumX, stepCount, &
        initialStepOutflows, finalStepOutflows, ordinateCount, inflows, outflows, status, &
        message, messageLength) bind(C, name='routemuskingum_')
      import :: c_int, c_double, c_char
      integer(c_int), intent(in) :: intervalMinutes, stepCount, ordinateCount
      real(c_double), intent(in) :: muskingumK, muskingumX
      real(c_double), intent(in) :: initialStepOutflows(*), inflows(*)
      real(c_double), intent(inout) :: finalStepOutflows(*), outflows(*)
      integer(c_int), intent(out) :: status
      character(kind=c_char), intent(inout) :: message(*)
      integer(c_int), value :: messageLength
    end subroutine c_routemuskingum

    subroutine c_routepulschannel(intervalMinutes, pairCount, storageTable, outflowTable, &
        stepCount, initialStepOutflows, finalStepOutflows, ordinateCount, inflows, outflows, &
        status, message, messageLength) bind(C, name='routepulschannel_')
      import :: c_int, c_double, c_char
      integer(c_int), intent(in) :: intervalMinutes, pairCount, stepCount, ordinateCount
      real(c_double), intent(in) :: storageTable(*), outflowTable(*)
      real(c_double), intent(in) :: initialStepOutflows(*), inflows(*)
      real(c_double), intent(inout) :: finalStepOutflows(*), outflows(*)
      integer(c_int), intent(out) :: status
      character(kind=c_char), intent(inout) :: message(*)
      integer(c_int), value :: messageLength
    end subroutine c_routepulschannel

    subroutine c_routepulschannelwithloss(intervalMinutes, pairCount, storageTable, &
        outflowTable, elevationTable, lossElevation, lossRate, stepCount, &
        initialStepOutflows, finalStepOutflows, ordinateCount, inflows, outflows, status, &
        message, messageLength) bind(C, name='RoutePulsChannelWithLoss_')
      import :: c_int, c_double, c_char
      integer(c_int), intent(in) :: intervalMinutes, pairCount, stepCount, ordinateCount
      real(c_double), intent(in) :: storageTable(*), outflowTable(*), elevationTable(*)
      real(c_double), intent(in) :: lossElevation, lossRate
      real(c_double), intent(in) :: initialStepOutflows(*), inflows(*)
      real(c_double), intent(inout) :: finalStepOutflows(*), outflows(*)
      integer(c_int), intent(out) :: status
      character(kind=c_char), intent(inout) :: message(*)
      integer(c_int), value :: messageLength
    end subroutine c_routepulschannelwithloss

    subroutine c_routemuskingumcunge8point(intervalMinutes, reachLength, channelSlope, &
        stations, elevations, manningN, initialFlowCount, subreachesFromInitialFlows, &
        initialFlows, finalFlows, ordinateCount, inflows, lateralInflows, outflows, &
        computationInterval, subreachLength, peakOutflow, peakTimeMinutes, maxCelerity, &
        initialStorage, finalStorage, inflowVolume, outflowVolume, status, message, &
        messageLength) bind(C, name='RouteMuskingumCunge8Point_')
      import :: c_int, c_double, c_char
      integer(c_int), intent(in) :: intervalMinutes, initialFlowCount, ordinateCount
      integer(c_int), intent(in) :: subreachesFromInitialFlows
      real(c_double), intent(in) :: reachLength, channelSlope
      real(c_double), intent(in) :: stations(8), elevations(8), manningN(3)
      real(c_double), intent(in) :: initialFlows(*), inflows(*), lateralInflows(*)
      real(c_double), intent(inout) :: finalFlows(*), outflows(*)
      real(c_double), intent(inout) :: computationInterval, subreachLength, peakOutflow
      real(c_double), intent(inout) :: peakTimeMinutes, maxCelerity, initialStorage
      real(c_double), intent(inout) :: finalStorage, inflowVolume, outflowVolume
      integer(c_int), intent(out) :: status
      character(kind=c_char), intent(inout) :: message(*)
      integer(c_int), value :: messageLength
    end subroutine c_routemuskingumcunge8point

    subroutine c_routemuskingumcungeprism(intervalMinutes, reachLength, channelSlope, &
        manningN, sectionShape, bottomWidth, sideSlope, initialFlowCount, &
        subreachesFromInitialFlows, initialFlows, finalFlows, ordinateCount, inflows, &
        lateralInflows, outflows, computationInterval, subreachLength, peakOutflow, &
        peakTimeMinutes, maxCelerity, initialStorage, finalStorage, inflowVolume, &
        outflowVolume, status, message, messageLength, sectionShapeLength) &
        bind(C, name='RouteMuskingumCungePrism_')
      import :: c_int, c_double, c_char
      integer(c_int), intent(in) :: intervalMinutes, initialFlowCount, ordinateCount
      integer(c_int), intent(in) :: subreachesFromInitialFlows
      real(c_double), intent(in) :: reachLength, channelSlope, manningN
      character(kind=c_char), intent(in) :: sectionShape(*)
      real(c_double), intent(in) :: bottomWidth, sideSlope
      real(c_double), intent(in) :: initialFlows(*), inflows(*), lateralInflows(*)
      real(c_double), intent(inout) :: finalFlows(*), outflows(*)
      real(c_double), intent(inout) :: computationInterval, subreachLength, peakOutflow
      real(c_double), intent(inout) :: peakTimeMinutes, maxCelerity, initialStorage
      real(c_double), intent(inout) :: finalStorage, inflowVolume, outflowVolume
      integer(c_int), intent(out) :: status
      character(kind=c_char), intent(inout) :: message(*)
      integer(c_int), value :: messageLength, sectionShapeLength
    end subroutine c_routemuskingumcungeprism

    subroutine c_channeldepthprism(channelSlope, manningN, bottomWidth, sideSlope, flow, &
        initialDepth, depth, flowArea, topWidth, celerity, status, message, messageLength) &
        bind(C, name='channeldepthprism_')
      import :: c_int, c_double, c_char
      real(c_double), intent(in) :: channelSlope, manningN, bottomWidth, sideSlope, flow
      real(c_double), intent(in) :: initialDepth
      real(c_double), intent(inout) :: depth, flowArea, topWidth, celerity
      integer(c_int), intent(out) :: status
      character(kind=c_char), intent(inout) :: message(*)
      integer(c_int), value :: messageLength
    end subroutine c_channeldepthprism

    subroutine c_channeldepth8point(channelSlope, stations, elevations, manningN, flow, &
        initialDepth, depth, flowArea, topWidth, celerity, status, message, messageLength) &
        bind(C, name='channeldepth8point_')
      import :: c_int, c_double, c_char
      real(c_double), intent(in) :: channelSlope, stations(8), elevations(8), manningN(3)
      real(c_double), intent(in) :: flow, initialDepth
      real(c_double), intent(inout) :: depth, flowArea, topWidth, celerity
      integer(c_int), intent(out) :: status
      character(kind=c_char), intent(inout) :: message(*)
      integer(c_int), value :: messageLength
    end subroutine c_channeldepth8point

    subroutine c_channeldepthcircle(channelSlope, manningN, diameter, flow, depth, flowArea, &
        topWidth, celerity, status, message, messageLength) bind(C, name='channeldepthcircle_')
      import :: c_int, c_double, c_char
      real(c_double), intent(in) :: channelSlope, manningN, diameter, flow
      real(c_double), intent(inout) :: depth, flowArea, topWidth, celerity
      integer(c_int), intent(out) :: status
      character(kind=c_char), intent(inout) :: message(*)
      integer(c_int), value :: messageLength
    end subroutine c_channeldepthcircle

    subroutine c_interpolatelinear(pairCount, xTable, yTable, valueCount, xValues, yValues, &
        status, message, messageLength) bind(C, name='interpolatelinear_')
      import :: c_int, c_double, c_char
      integer(c_int), intent(in) :: pairCount, valueCount
      real(c_double), intent(in) :: xTable(*), yTable(*), xValues(*)
      real(c_double), intent(inout) :: yValues(*)
      integer(c_int), intent(out) :: status
      character(kind=c_char), intent(inout) :: message(*)
      integer(c_int), value :: messageLength
    end subroutine c_interpolatelinear

    subroutine c_decodeerrorcode(status, routineName, messageNumber, severity, &
        routineNameLength) bind(C, name='decodeerrorcode_')
      import :: c_int, c_char
      integer(c_int), intent(in) :: status
      character(kind=c_char), intent(inout) :: routineName(*)
      integer(c_int), intent(out) :: messageNumber, severity
      integer(c_int), value :: routineNameLength
    end subroutine c_decodeerrorcode

    subroutine c_changetimeinterval(oldInterval, newInterval, oldCount, newCount, oldSeries, &
        newSeries) bind(C, name='changetimeinterval_')
      import :: c_int, c_double
      real(c_double), intent(in) :: oldInterval, newInterval
      integer(c_int), intent(in) :: oldCount, newCount
      real(c_double), intent(in) :: oldSeries(*)
      real(c_double), intent(inout) :: newSeries(*)
    end subroutine c_changetimeinterval
  end interface

contains

  !> True for the undefined value and for a NaN.
  elemental logical function tovalin_is_undefined(value)
    real(c_double), intent(in) :: value
    tovalin_is_undefined = transfer(value, 0_c_int64_t) == undefined_bits .or. ieee_is_nan(value)
  end function tovalin_is_undefined

  !> Muskingum routing through stepCount equal steps, each with storage constant K/stepCount.
  !> intervalMinutes: minutes; muskingumK: hours, above 0; muskingumX: 0 to 0.5.
  !> initialStepOutflows(stepCount), m3/s, in: each step's outflow at time 0.
  !> finalStepOutflows(stepCount), m3/s, out: each step's outflow at the last ordinate.
  !> inflows(ordinateCount) in, outflows(ordinateCount) out, m3/s.
  !> An invalid interval, K, x or step count: message 12, every outflow undefined.
  subroutine RouteMuskingum(intervalMinutes, muskingumK, muskingumX, stepCount, &
      initialStepOutflows, finalStepOutflows, ordinateCount, inflows, outflows, status, message)
    integer(c_int), intent(in) :: intervalMinutes, stepCount, ordinateCount
    real(c_double), intent(in) :: muskingumK, muskingumX
    real(c_double), intent(in) :: initialStepOutflows(*), inflows(*)
    real(c_double), intent(inout) :: finalStepOutflows(*), outflows(*)
    integer(c_int), intent(out) :: status
    character(len=*), intent(inout) :: message
    call c_routemuskingum(intervalMinutes, muskingumK, muskingumX, stepCount, &
        initialStepOutflows, finalStepOutflows, ordinateCount, inflows, outflows, status, &
        message, len(message, c_int))
  end subroutine RouteMuskingum

  !> Modified Puls routing through stepCount equal steps of a storage-outflow table.
  !> storageTable(pairCount): m3, ascending; outflowTable(pairCount): m3/s, ascending.
  !> Step outflows (stepCount) and hydrographs (ordinateCount) as for RouteMuskingum.
  subroutine RoutePulsChannel(intervalMinutes, pairCount, storageTable, outflowTable, &
      stepCount, initialStepOutflows, finalStepOutflows, ordinateCount, inflows, outflows, &
      status, message)
    integer(c_int), intent(in) :: intervalMinutes, pairCount, stepCount, ordinateCount
    real(c_double), intent(in) :: storageTable(*), outflowTable(*)
    real(c_double), intent(in) :: initialStepOutflows(*), inflows(*)
    real(c_double), intent(inout) :: finalStepOutflows(*), outflows(*)
    integer(c_int), intent(out) :: status
    character(len=*), intent(inout) :: message
    call c_routepulschannel(intervalMinutes, pairCount, storageTable, outflowTable, &
        stepCount, initialStepOutflows, finalStepOutflows, ordinateCount, inflows, outflows, &
        status, message, len(message, c_int))
  end subroutine RoutePulsChannel

  !> Modified Puls routing with a channel loss, storage / (elevation - lossElevation) *
  !> lossRate, while the surface stands above lossElevation (m); lossRate in m/s.
  !> elevationTable(pairCount): m. initialStepOutflows are net (after the loss),
  !> finalStepOutflows gross (before it); outflows are net and never below 0.
  subroutine RoutePulsChannelWithLoss(intervalMinutes, pairCount, storageTable, outflowTable, &
      elevationTable, lossElevation, lossRate, stepCount, initialStepOutflows, &
      finalStepOutflows, ordinateCount, inflows, outflows, status, message)
    integer(c_int), intent(in) :: intervalMinutes, pairCount, stepCount, ordinateCount
    real(c_double), intent(in) :: storageTable(*), outflowTable(*), elevationTable(*)
    real(c_double), intent(in) :: lossElevation, lossRate
    real(c_double), intent(in) :: initialStepOutflows(*), inflows(*)
    real(c_double), intent(inout) :: finalStepOutflows(*), outflows(*)
    integer(c_int), intent(out) :: status
    character(len=*), intent(inout) :: message
    call c_routepulschannelwithloss(intervalMinutes, pairCount, storageTable, outflowTable, &
        elevationTable, lossElevation, lossRate, stepCount, initialStepOutflows, &
        finalStepOutflows, ordinateCount, inflows, outflows, status, message, &
        len(message, c_int))
  end subroutine RoutePulsChannelWithLoss

  !> Muskingum-Cunge routing through an eight-point section: stations(8) and elevations(8)
  !> in m (points 1-3 left overbank, 3-6 main channel, 6-8 right overbank), manningN(3) for
  !> left overbank, main channel, right overbank. reachLength m, channelSlope m/m.
  !> initialFlows(initialFlowCount) in, finalFlows(initialFlowCount) out: the flow profile,
  !> m3/s, evenly spaced from the upstream to the downstream end. subreachesFromInitialFlows:
  !> route through initialFlowCount - 1 subreaches instead of the computed number.
  !> inflows, lateralInflows (m3/s per m of reach) and outflows: ordinateCount values.
  !> Results: computationInterval s, subreachLength m, peakOutflow m3/s, peakTimeMinutes
  !> minutes (left as passed when there is no peak), maxCelerity m/s, initialStorage,
  !> finalStorage, inflowVolume, outflowVolume m3. The message needs 80 characters to hold a
  !> whole text.
  subroutine RouteMuskingumCunge8Point(intervalMinutes, reachLength, channelSlope, stations, &
      elevations, manningN, initialFlowCount, subreachesFromInitialFlows, initialFlows, &
      finalFlows, ordinateCount, inflows, lateralInflows, outflows, computationInterval, &
      subreachLength, peakOutflow, peakTimeMinutes, maxCelerity, initialStorage, &
      finalStorage, inflowVolume, outflowVolume, status, message)
    integer(c_int), intent(in) :: intervalMinutes, initialFlowCount, ordinateCount
    logical, intent(in) :: subreachesFromInitialFlows
    real(c_double), intent(in) :: reachLength, channelSlope
    real(c_double), intent(in) :: stations(8), elevations(8), manningN(3)
    real(c_double), intent(in) :: initialFlows(*), inflows(*), lateralInflows(*)
    real(c_double), intent(inout) :: finalFlows(*), outflows(*)
    real(c_double), intent(inout) :: computationInterval, subreachLength, peakOutflow
    real(c_double), intent(inout) :: peakTimeMinutes, maxCelerity, initialStorage
    real(c_double), intent(inout) :: finalStorage, inflowVolume, outflowVolume
    integer(c_int), intent(out) :: status
    character(len=*), intent(inout) :: message
    call c_routemuskingumcunge8point(intervalMinutes, reachLength, channelSlope, stations, &
        elevations, manningN, initialFlowCount, logical_value(subreachesFromInitialFlows), &
        initialFlows, finalFlows, ordinateCount, inflows, lateralInflows, outflows, &
        computationInterval, subreachLength, peakOutflow, peakTimeMinutes, maxCelerity, &
        initialStorage, finalStorage, inflowVolume, outflowVolume, status, message, &
        len(message, c_int))
  end subroutine RouteMuskingumCunge8Point

  !> Muskingum-Cunge routing through a trapezoid, or a circular conduit when sectionShape is
  !> 'CIRCLE' (then bottomWidth is the diameter, m, and sideSlope is not used). manningN: one
  !> value; sideSlope: horizontal per unit vertical. Everything else as for
  !> RouteMuskingumCunge8Point.
  subroutine RouteMuskingumCungePrism(intervalMinutes, reachLength, channelSlope, manningN, &
      sectionShape, bottomWidth, sideSlope, initialFlowCount, subreachesFromInitialFlows, &
      initialFlows, finalFlows, ordinateCount, inflows, lateralInflows, outflows, &
      computationInterval, subreachLength, peakOutflow, peakTimeMinutes, maxCelerity, &
      initialStorage, finalStorage, inflowVolume, outflowVolume, status, message)
    integer(c_int), intent(in) :: intervalMinutes, initialFlowCount, ordinateCount
    logical, intent(in) :: subreachesFromInitialFlows
    real(c_double), intent(in) :: reachLength, channelSlope, manningN
    character(len=*), intent(in) :: sectionShape
    real(c_double), intent(in) :: bottomWidth, sideSlope
    real(c_double), intent(in) :: initialFlows(*), inflows(*), lateralInflows(*)
    real(c_double), intent(inout) :: finalFlows(*), outflows(*)
    real(c_double), intent(inout) :: computationInterval, subreachLength, peakOutflow
    real(c_double), intent(inout) :: peakTimeMinutes, maxCelerity, initialStorage
    real(c_double), intent(inout) :: finalStorage, inflowVolume, outflowVolume
    integer(c_int), intent(out) :: status
    character(len=*), intent(inout) :: message
    call c_routemuskingumcungeprism(intervalMinutes, reachLength, channelSlope, manningN, &
        sectionShape, bottomWidth, sideSlope, initialFlowCount, &
        logical_value(subreachesFromInitialFlows), initialFlows, finalFlows, ordinateCount, &
        inflows, lateralInflows, outflows, computationInterval, subreachLength, peakOutflow, &
        peakTimeMinutes, maxCelerity, initialStorage, finalStorage, inflowVolume, &
        outflowVolume, status, message, len(message, c_int), len(sectionShape, c_int))
  end subroutine RouteMuskingumCungePrism

  !> Normal depth in a trapezoid of bottomWidth (m) and sideSlope (horizontal per vertical)
  !> at flow (m3/s): depth m, flowArea m2, topWidth m, celerity dQ/dA m/s. initialDepth (m)
  !> starts the iteration when above 0; otherwise it starts at flow / 3.
  subroutine ChannelDepthPrism(channelSlope, manningN, bottomWidth, sideSlope, flow, &
      initialDepth, depth, flowArea, topWidth, celerity, status, message)
    real(c_double), intent(in) :: channelSlope, manningN, bottomWidth, sideSlope, flow
    real(c_double), intent(in) :: initialDepth
    real(c_double), intent(inout) :: depth, flowArea, topWidth, celerity
    integer(c_int), intent(out) :: status
    character(len=*), intent(inout) :: message
    call c_channeldepthprism(channelSlope, manningN, bottomWidth, sideSlope, flow, &
        initialDepth, depth, flowArea, topWidth, celerity, status, message, len(message, c_int))
  end subroutine ChannelDepthPrism

  !> Normal depth in an eight-point section (as for RouteMuskingumCunge8Point), measured from
  !> its lowest point. initialDepth (m) is the first estimate when above 0; otherwise the
  !> search starts at two thirds of the flow per unit width between the bank stations.
  subroutine ChannelDepth8Point(channelSlope, stations, elevations, manningN, flow, &
      initialDepth, depth, flowArea, topWidth, celerity, status, message)
    real(c_double), intent(in) :: channelSlope, stations(8), elevations(8), manningN(3)
    real(c_double), intent(in) :: flow, initialDepth
    real(c_double), intent(inout) :: depth, flowArea, topWidth, celerity
    integer(c_int), intent(out) :: status
    character(len=*), intent(inout) :: message
    call c_channeldepth8point(channelSlope, stations, elevations, manningN, flow, &
        initialDepth, depth, flowArea, topWidth, celerity, status, message, len(message, c_int))
  end subroutine ChannelDepth8Point

  !> Depth, flow area, top width and celerity in a circular conduit of the given diameter (m).
  !> Above a flow area of 0.65 * diameter**2 the depth is held at 0.771 * diameter with a
  !> two-line warning (message 2).
  subroutine ChannelDepthCircle(channelSlope, manningN, diameter, flow, depth, flowArea, &
      topWidth, celerity, status, message)
    real(c_double), intent(in) :: channelSlope, manningN, diameter, flow
    real(c_double), intent(inout) :: depth, flowArea, topWidth, celerity
    integer(c_int), intent(out) :: status
    character(len=*), intent(inout) :: message
    call c_channeldepthcircle(channelSlope, manningN, diameter, flow, depth, flowArea, &
        topWidth, celerity, status, message, len(message, c_int))
  end subroutine ChannelDepthCircle

  !> Straight-line lookup of xValues(valueCount) in the table xTable(pairCount) (ascending),
  !> yTable(pairCount); yValues needs max(valueCount, 1) elements. A value outside the table
  !> gives the undefined value and a message; no extrapolation.
  subroutine InterpolateLinear(pairCount, xTable, yTable, valueCount, xValues, yValues, &
      status, message)
    integer(c_int), intent(in) :: pairCount, valueCount
    real(c_double), intent(in) :: xTable(*), yTable(*), xValues(*)
    real(c_double), intent(inout) :: yValues(*)
    integer(c_int), intent(out) :: status
    character(len=*), intent(inout) :: message
    call c_interpolatelinear(pairCount, xTable, yTable, valueCount, xValues, yValues, &
        status, message, len(message, c_int))
  end subroutine InterpolateLinear

  !> Unpacks a status into the reporting routine's name, its message number and severity.
  !> The name is cut at len(routineName) or blank-padded to it; 32 characters hold any name.
  subroutine DecodeErrorCode(status, routineName, messageNumber, severity)
    integer(c_int), intent(in) :: status
    character(len=*), intent(inout) :: routineName
    integer(c_int), intent(out) :: messageNumber, severity
    call c_decodeerrorcode(status, routineName, messageNumber, severity, &
        len(routineName, c_int))
  end subroutine DecodeErrorCode

  !> Resamples oldSeries(oldCount), spaced oldInterval, into newSeries(newCount), spaced
  !> newInterval (same unit), both starting at time 0, by straight lines between ordinates.
  subroutine ChangeTimeInterval(oldInterval, newInterval, oldCount, newCount, oldSeries, &
      newSeries)
    real(c_double), intent(in) :: oldInterval, newInterval
    integer(c_int), intent(in) :: oldCount, newCount
    real(c_double), intent(in) :: oldSeries(*)
    real(c_double), intent(inout) :: newSeries(*)
    call c_changetimeinterval(oldInterval, newInterval, oldCount, newCount, oldSeries, &
        newSeries)
  end subroutine ChangeTimeInterval

  ! The library's logical: 1 for true, 0 for false.
  pure integer(c_int) function logical_value(flag)
    logical, intent(in) :: flag
    logical_value = merge(1_c_int, 0_c_int, flag)
  end function logical_value

end module tovalin
