[1]
Name=<=>
Type=
Issue=
ACK_string=
NACK_string=
Status=
Time-Out=
Real-Time=
[2]
Name=Who is there
Type=Command
Issue=ID!/ the loader names itself
ACK_string=OK
NACK_string=ERR
Status=
Time-Out=2
Real-Time=
[3]
Name=Erase
Type=Command
Issue=E!
ACK_string=OK
NACK_string=ERR
Status=
Time-Out=5
Real-Time=
[4]
Name=Capture on
Type=IntCommand_UseLog
Issue=on
ACK_string=
NACK_string=
Status=
Time-Out=
Real-Time=
[5]
Name=Firmware as text
Type=File
Issue=/board.hex
ACK_string=OK
NACK_string=ERR
Status=
Time-Out=2
Real-Time=
[6]
Name=Sum after text
Type=Command
Issue=C!
ACK_string=CHECKSUM
NACK_string=ERR
Status=
Time-Out=3
Real-Time=
[7]
Name=Capture off
Type=IntCommand_NoLog
Issue=off
ACK_string=
NACK_string=
Status=
Time-Out=
Real-Time=
[8]
Name=Erase again
Type=Command
Issue=E!
ACK_string=OK
NACK_string=ERR
Status=
Time-Out=5
Real-Time=
[9]
Name=Sync =
Type=Sync_1
Issue=sync
ACK_string=SYNC
NACK_string=ERR
Status=
Time-Out=2
Real-Time=
[10]
Name=Sync ENQ
Type=Sync_2
Issue=sync
ACK_string=SYNC
NACK_string=ERR
Status=
Time-Out=2
Real-Time=
[11]
Name=Firmware as binary
Type=File_BINary
Issue=/board.hex
ACK_string=OK
NACK_string=ERR
Status=
Time-Out=2
Real-Time=
[12]
Name=Expected sum
Type=Action_CS
Issue=from board.chk
ACK_string=OK
NACK_string=ERR
Status=
Time-Out=2
Real-Time=
[13]
Name=Sum after binary
Type=Command
Issue=C!
ACK_string=CHECKSUM
NACK_string=ERR
Status=
Time-Out=3
Real-Time=
[14]
Name=
Type=
Issue=
ACK_string=
NACK_string=
Status=
Time-Out=
Real-Time=
[Special_Settings]
SpinEdit_DelayOnSent=2
[ComPort_Settings]
ComPort_BaudRate=12
ComPort_Databits=4
ComPort_FlowControl=0
ComPort_Parity=0
ComPort_Stopbits=0
ComPort_ComNumber=7
