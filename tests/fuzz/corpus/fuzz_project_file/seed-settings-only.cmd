[Special_Settings]
SpinEdit_DelayOnSent=$1F
[ComPort_Settings]
ComPort_BaudRate=300
