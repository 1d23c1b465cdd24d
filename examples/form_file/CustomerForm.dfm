object CustomerForm: TForm
  Caption = 'Customers and their orders'
  object ShopDatabase: TmSQLDatabase
    Connected = True
    DatabaseName = 'shop'
    KeepConnection = True
  end
  object Customers: TmSQLTable
    Active = True
    Database = ShopDatabase
    TableName = 'customers'
    IndexName = 'cust_city'
    Filter = 'city = ''Oslo'' or city = ''Leeds'''
    Filtered = True
  end
  object CustomerSource: TDataSource
    DataSet = Customers
  end
  object Orders: TmSQLTable
    Active = True
    Database = ShopDatabase
    TableName = 'orders'
    IndexName = 'order_customer'
    MasterSource = CustomerSource
    MasterFields = 'id'
  end
end
